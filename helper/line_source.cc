#include "helper/line_source.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// One read of whatever is available, so that a pipe or terminal is not kept
// waiting for a full block. False at the end of the file or on an error.
bool refill(line_source& s) {
  ssize_t got;
  do {
    got = read(s.fd, s.block, sizeof s.block);
  } while (got < 0 && errno == EINTR);
  s.pos = 0;
  s.len = got > 0 ? static_cast<std::size_t>(got) : 0;
  s.ended = got == 0;
  s.failed = got < 0;
  if (s.failed) s.error = errno;
  return got > 0;
}

}  // namespace

line_source::~line_source() {
  if (owns_fd) close(fd);
}

std::size_t read_source_line(line_source& s, char* out, std::size_t limit) {
  const std::size_t most = limit - 1;
  std::size_t n = 0;
  while (n < most) {
    if (s.pos == s.len && (s.ended || !refill(s))) break;
    const char* start = s.block + s.pos;
    const std::size_t span = std::min(most - n, s.len - s.pos);
    const char* newline = static_cast<const char*>(std::memchr(start, '\n', span));
    const std::size_t take = newline != nullptr ? static_cast<std::size_t>(newline - start) + 1 : span;
    std::memcpy(out + n, start, take);
    n += take;
    s.pos += take;
    if (newline != nullptr) break;
  }
  out[n] = '\0';
  return n;
}
