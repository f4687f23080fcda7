#include "base/same_contents.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

constexpr size_t kCompareBlockBytes = size_t{32} << 10;

// Fills the block but at the end of the file: a pipe or a terminal hands
// out short reads that are not the end. Returns the count, or -1 with errno
// set.
ssize_t read_block(int fd, char* block) {
  size_t held = 0;
  while (held < kCompareBlockBytes) {
    const ssize_t got = read(fd, block + held, kCompareBlockBytes - held);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return -1;
    if (got == 0) break;
    held += static_cast<size_t>(got);
  }
  return static_cast<ssize_t>(held);
}

}  // namespace

bool same_contents(int fd1, int fd2, const struct stat& stat1, const struct stat& stat2,
                   int* failed_file) {
  *failed_file = -1;
  if (stat1.st_size != stat2.st_size) return false;
  char block1[kCompareBlockBytes];
  char block2[kCompareBlockBytes];
  for (;;) {
    const ssize_t count1 = read_block(fd1, block1);
    const int error1 = errno;
    const ssize_t count2 = read_block(fd2, block2);
    if (count1 < 0 || count2 < 0) {
      *failed_file = count1 < 0 ? 0 : 1;
      if (count1 < 0) errno = error1;
      return false;
    }
    if (count1 != count2) return false;
    if (count1 == 0) return true;
    if (memcmp(block1, block2, static_cast<size_t>(count1)) != 0) return false;
  }
}
