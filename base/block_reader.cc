#include "base/block_reader.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "base/exit_run.h"

block_reader make_block_reader(int fd, int64_t offset, const char* path) {
  block_reader reader;
  reader.fd = fd;
  reader.path = path;
  reader.bytes = table<unsigned char>(kReaderBlockBytes + kReaderPadding);
  // Only the padding after the bytes held is ever read unset; each refill
  // clears it again.
  memset(reader.bytes.data(), 0, kReaderPadding);
  reader.start = offset;
  return reader;
}

bool refill(block_reader& reader) {
  reader.start += static_cast<int64_t>(reader.end);
  reader.pos = 0;
  ssize_t got;
  do {
    got = read(reader.fd, reader.bytes.data(), kReaderBlockBytes);
  } while (got < 0 && errno == EINTR);
  if (got < 0) read_failed(reader.path);
  reader.end = static_cast<size_t>(got);
  memset(reader.bytes.data() + reader.end, 0, kReaderPadding);
  if (reader.end == 0) reader.met_end = true;
  return reader.end > 0;
}

bool fill_at(block_reader& reader, int64_t offset, size_t least) {
  if (offset >= reader.start && offset < reader.start + static_cast<int64_t>(reader.end)) {
    reader.pos = static_cast<size_t>(offset - reader.start);
    return true;
  }
  constexpr size_t kLeastRead = 4096;
  const size_t want = std::min(std::max(least, kLeastRead), kReaderBlockBytes);
  ssize_t got;
  do {
    got = pread(reader.fd, reader.bytes.data(), want, offset);
  } while (got < 0 && errno == EINTR);
  if (got < 0) read_failed(reader.path);
  reader.start = offset;
  reader.pos = 0;
  reader.end = static_cast<size_t>(got);
  memset(reader.bytes.data() + reader.end, 0, kReaderPadding);
  return reader.end > 0;
}
