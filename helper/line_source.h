// A file read in large blocks and handed out a line at a time. A line is what
// fgets with a limit of kLineLimit gives: the bytes up to and including a
// newline, or kLineLimit - 1 bytes, whichever comes first, or the last bytes
// of the file. Unlike fgets it tells how many bytes it gave, so a NUL byte in
// a line is kept and compared like any other byte.
#ifndef OVARN_HELPER_LINE_SOURCE_H_
#define OVARN_HELPER_LINE_SOURCE_H_

#include <cstddef>

struct line_source {
  int fd = -1;
  bool owns_fd = false;  // fd was opened for this source and is closed with it
  std::size_t pos = 0;   // next unread byte of block
  std::size_t len = 0;   // bytes held in block
  bool ended = false;    // a read has met the end of the file
  bool failed = false;   // a read has failed
  int error = 0;         // the errno of the failed read
  char block[64 * 1024];

  line_source() = default;
  line_source(const line_source&) = delete;
  line_source& operator=(const line_source&) = delete;
  ~line_source();
};

// Copies the next line into out, followed by a terminator, and gives its
// length: at most limit - 1 bytes, and 0 when the file has ended or a read
// failed (failed tells which).
std::size_t read_source_line(line_source& s, char* out, std::size_t limit);

#endif  // OVARN_HELPER_LINE_SOURCE_H_
