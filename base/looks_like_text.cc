#include "base/looks_like_text.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>

namespace {

constexpr size_t kTestBytes = 1024;
// Files shorter than this are never taken for an executable header.
constexpr size_t kHeaderBytes = 32;

// The a.out magic numbers, read low byte first from bytes 0 and 1 or high
// byte first from bytes 2 and 3, whatever the byte order of this machine.
bool has_executable_magic(const unsigned char* bytes) {
  unsigned low_first = bytes[0] + 256u * bytes[1];
  unsigned high_first = 256u * bytes[2] + bytes[3];
  for (unsigned magic : {0x107u, 0x108u, 0x10Bu, 0xCCu}) {
    if (low_first == magic || high_first == magic) return true;
  }
  return false;
}

bool block_looks_like_text(const unsigned char* bytes, size_t count) {
  if (count >= kHeaderBytes && has_executable_magic(bytes)) return false;
  return std::none_of(bytes, bytes + count, [](unsigned char b) { return b >= 0x80; });
}

}  // namespace

bool looks_like_text(FILE* stream, bool* failed) {
  unsigned char bytes[kTestBytes];
  fseek(stream, 0, SEEK_SET);
  size_t count = fread(bytes, 1, kTestBytes, stream);
  if (failed != nullptr) *failed = ferror(stream) != 0;
  return block_looks_like_text(bytes, count);
}

bool looks_like_text(int fd, bool* failed) {
  unsigned char bytes[kTestBytes];
  lseek(fd, 0, SEEK_SET);
  ssize_t count;
  do {
    count = read(fd, bytes, kTestBytes);
  } while (count < 0 && errno == EINTR);
  if (failed != nullptr) *failed = count < 0;
  return block_looks_like_text(bytes, count < 0 ? 0 : static_cast<size_t>(count));
}
