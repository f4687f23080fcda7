#include "port/system.h"

#include <fcntl.h>
#include <unistd.h>

#include "port/port_config.h"

#if OVARN_HAVE_GETRANDOM
#include <sys/random.h>
#endif

namespace {

bool read_urandom(unsigned char* bytes, size_t count) {
  const int fd = open("/dev/urandom", O_RDONLY);
  if (fd < 0) return false;
  size_t done = 0;
  while (done < count) {
    const ssize_t got = read(fd, bytes + done, count - done);
    if (got <= 0) break;
    done += static_cast<size_t>(got);
  }
  close(fd);
  return done == count;
}

}  // namespace

bool fill_random(unsigned char* bytes, size_t count) {
#if OVARN_HAVE_GETRANDOM
  if (getrandom(bytes, count, 0) == static_cast<ssize_t>(count)) return true;
#elif OVARN_HAVE_GETENTROPY
  if (count <= 256 && getentropy(bytes, count) == 0) return true;
#endif
  return read_urandom(bytes, count);
}

size_t write_block(const void* bytes, size_t count, FILE* stream) {
#if OVARN_HAVE_FWRITE_UNLOCKED
  return fwrite_unlocked(bytes, 1, count, stream);
#else
  return fwrite(bytes, 1, count, stream);
#endif
}
