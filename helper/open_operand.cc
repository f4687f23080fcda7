#include "helper/open_operand.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "helper/line_window.h"

const char* last_component(const char* path) {
  const char* component = path;
  for (const char* c = path; *c != '\0'; ++c) {
    if (c[0] == '/' && c[1] != '/' && c[1] != '\0') component = c + 1;
  }
  return component;
}

namespace {

// Writes dir/name into the window's buffer. A path that would not fit is
// reported in full, never cut, and nothing is written past the buffer.
const char* join_into_window(line_window& w, const char* dir, const char* name) {
  const std::string joined = std::string(dir) + "/" + name;
  if (joined.size() >= sizeof w.joined_path) helper_fail("can't open", joined.c_str());
  std::memcpy(w.joined_path, joined.c_str(), joined.size() + 1);
  return w.joined_path;
}

// Reads in large blocks: the helper's run time is mostly reading, and the
// default buffer of a file costs a system call every few kilobytes. Without
// the memory the stream keeps its default buffer.
void use_large_buffer(std::FILE* stream) {
  constexpr std::size_t bytes = 64 * 1024;
  if (char* buffer = static_cast<char*>(std::malloc(bytes))) {
    std::setvbuf(stream, buffer, _IOFBF, bytes);
  }
}

}  // namespace

void open_operand(line_window& w, const char* path, const char* other) {
  if (std::strcmp(path, "-") == 0) {
    w.source = stdin;
    w.name = path;
    use_large_buffer(w.source);
    return;
  }
  struct stat st;
  if (stat(path, &st) != 0) helper_fail("can't access ", path);
  const char* opened = S_ISDIR(st.st_mode) ? join_into_window(w, path, last_component(other)) : path;
  w.source = std::fopen(opened, "r");
  if (w.source == nullptr) helper_fail("can't open", opened);
  use_large_buffer(w.source);
  w.name = opened;
}
