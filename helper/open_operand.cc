#include "helper/open_operand.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

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
// reported in full, never cut, and nothing is written past the buffer. No
// memory is taken: a run short of it still gets its message.
bool join_into_window(line_window& w, const char* dir, const char* name) {
  const int length = std::snprintf(w.joined_path, sizeof w.joined_path, "%s/%s", dir, name);
  if (length >= 0 && static_cast<std::size_t>(length) < sizeof w.joined_path) return true;
  // No blank after "can't open", as for every path the helper cannot open.
  std::fprintf(stderr, "varnh: can't open%s/%s\n", dir, name);
  return false;
}

}  // namespace

bool open_operand(line_window& w, const char* path, const char* other) {
  if (std::strcmp(path, "-") == 0) {
    w.source.fd = STDIN_FILENO;
    w.name = path;
    return true;
  }
  struct stat st;
  if (stat(path, &st) != 0) return helper_fail("can't access ", path);
  const char* opened = path;
  if (S_ISDIR(st.st_mode)) {
    if (!join_into_window(w, path, last_component(other))) return false;
    opened = w.joined_path;
  }
  w.source.fd = open(opened, O_RDONLY);
  // "can't open" runs into the path with no blank between, on purpose: the
  // message stands as the helper has always written it.
  if (w.source.fd < 0) return helper_fail("can't open", opened);
  w.source.owns_fd = true;
  w.name = opened;
  return true;
}
