// Fuzzes the parts of directory mode that need no process and no directory:
// the quoting of entry names for the ed here-document, the command title,
// and the order of listings. The input, cut at NUL bytes, gives the words:
// entry names, and a command line for the title.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "dircmp/ed_heading.h"
#include "dircmp/listing_title.h"
#include "dircmp/read_directory.h"

namespace {

constexpr size_t kMaxWords = 64;

[[noreturn]] void fail(const char* what, const std::string& word) {
  std::fprintf(stderr, "%s: \"%s\"\n", what, word.c_str());
  std::abort();
}

// Characters that the shell never treats specially, wherever they stand in
// an argument word.
bool is_literal_in_shell(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') ||
         (c != '\0' && std::strchr("._+,:@%/=-", c) != nullptr);
}

// The value of one shell word under sh's quoting: text in single quotes
// stands for itself, a backslash outside them quotes the next character (and
// removes a newline), and any other character must be literal. False when
// the shell would read word as something else than one plain word.
bool shell_word_value(const std::string& word, std::string& value) {
  if (word.empty()) return false;
  for (size_t i = 0; i < word.size();) {
    if (word[i] == '\'') {
      const size_t close = word.find('\'', i + 1);
      if (close == std::string::npos) return false;
      value += word.substr(i + 1, close - i - 1);
      i = close + 1;
    } else if (word[i] == '\\') {
      if (i + 1 == word.size()) return false;
      if (word[i + 1] != '\n') value += word[i + 1];
      i += 2;
    } else if (is_literal_in_shell(word[i])) {
      value += word[i++];
    } else {
      return false;
    }
  }
  return true;
}

void check_ed_heading(const std::string& name) {
  const std::string word = ed_file_word(name.c_str());
  std::string value;
  if (!shell_word_value(word, value)) fail("not one shell word", word);
  // ed would take a name beginning with "-" for an option.
  if (value != (name[0] == '-' ? "./" + name : name)) fail("quoted word changes the name", word);
  if (ed_heading(name.c_str()) != "ed - " + word + " << '-*-END-*-'\n") fail("heading", word);
}

struct title_texts {
  std::string built;          // after build_listing_title
  size_t end_offset;          // of title_end after build_listing_title
  std::string completed[2];   // after completing with each pair in turn
};

// Every use of the title's storage is here.
title_texts make_titles(char* const* args, const char* const pairs[2][2]) {
  title_texts t;
  command_title title;
  build_listing_title(title, args);
  const char* text = title.listing_title;
  if (std::memchr(text, '\0', kListingTitleSize) == nullptr) fail("unterminated", "");
  t.built = text;
  t.end_offset = title.title_end;
  for (int k = 0; k < 2; ++k) {
    complete_listing_title(title, pairs[k][0], pairs[k][1]);
    if (std::memchr(text, '\0', kListingTitleSize) == nullptr) fail("unterminated", "");
    t.completed[k] = text;
  }
  return t;
}

void check_title(std::vector<std::string> words) {
  words.insert(words.begin(), "ovarn");
  std::vector<char*> args;
  for (std::string& w : words) args.push_back(w.data());
  args.push_back(nullptr);
  // Operands of two pairs, taken from the words so that they can be long.
  const std::string& p = words.size() > 1 ? words[1] : words[0];
  const std::string& q = words.back();
  const char* const pairs[2][2] = {{p.c_str(), q.c_str()}, {q.c_str(), "x"}};
  const title_texts t = make_titles(args.data(), pairs);

  const size_t most = kListingTitleSize - 1;
  std::string expected = "varn ";
  for (size_t i = 1; i + 2 < words.size(); ++i) {
    if (words[i] != "-") expected += words[i] + " ";
  }
  expected = expected.substr(0, most);
  if (t.built != expected) fail("built title", t.built);
  if (t.end_offset != expected.size()) fail("title end", t.built);
  if (t.completed[0] != (expected + p + " " + q).substr(0, most)) fail("first pair", t.completed[0]);
  if (t.completed[1] != (expected + q + " x").substr(0, most)) fail("second pair", t.completed[1]);
}

void check_listing_order(const std::vector<std::string>& words) {
  std::vector<dir_entry> listing;
  for (const std::string& w : words) listing.push_back({0, const_cast<char*>(w.c_str())});
  std::qsort(listing.data(), listing.size(), sizeof(dir_entry), compare_entry_names);
  std::vector<std::string> expected = words;
  std::sort(expected.begin(), expected.end());  // bytes compare unsigned, as in strcmp
  for (size_t i = 0; i < listing.size(); ++i) {
    if (listing[i].name != expected[i]) fail("listing order", listing[i].name);
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> words;
  for (size_t start = 0; start <= text.size() && words.size() < kMaxWords;) {
    size_t end = text.find('\0', start);
    if (end == std::string::npos) end = text.size();
    words.push_back(text.substr(start, end - start));
    start = end + 1;
  }
  for (const std::string& w : words) check_ed_heading(w);
  check_title(words);
  check_listing_order(words);
  return 0;
}
