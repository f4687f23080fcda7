#include "dircmp/ed_heading.h"

#include <cstring>

namespace {

// Characters that stand for themselves in a shell word.
bool is_plain_shell_char(char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  return c != '\0' && strchr("._+,:@%/=-", c) != nullptr;
}

bool is_plain_shell_word(const std::string& word) {
  if (word.empty()) return false;
  for (char c : word) {
    if (!is_plain_shell_char(c)) return false;
  }
  return true;
}

std::string single_quoted(const std::string& word) {
  std::string quoted = "'";
  for (char c : word) {
    if (c == '\'') quoted += "'\\''";
    else quoted += c;
  }
  return quoted + "'";
}

}  // namespace

std::string ed_file_word(const char* name) {
  // ed would read a leading "-" as an option.
  std::string word = name[0] == '-' ? std::string("./") + name : std::string(name);
  return is_plain_shell_word(word) ? word : single_quoted(word);
}

std::string ed_heading(const char* name) {
  return "ed - " + ed_file_word(name) + " << '-*-END-*-'\n";
}
