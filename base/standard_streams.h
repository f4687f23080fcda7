// The three standard descriptors at the start of a run, and standard output
// at its end. Header only: both programs use it, and the helper program
// links nothing of the main program's.
#ifndef OVARN_BASE_STANDARD_STREAMS_H_
#define OVARN_BASE_STANDARD_STREAMS_H_

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>

// Descriptors 0, 1 and 2 that are closed at the start are opened on
// /dev/null the wrong way round (0 for writing, 1 and 2 for reading), so
// that no file the run opens lands on them and a read from 0 or a write to
// 1 or 2 still fails as it would have. SIGXFSZ is ignored, so that a write
// past the file-size limit fails with EFBIG and is reported like any other
// failed write instead of killing the run.
inline void hold_standard_descriptors() {
  for (int fd = 0; fd <= 2; ++fd) {
    if (fcntl(fd, F_GETFD) >= 0 || errno != EBADF) continue;
    const int held = open("/dev/null", fd == 0 ? O_WRONLY : O_RDONLY);
    if (held >= 0 && held != fd) {
      dup2(held, fd);
      close(held);
    }
  }
  signal(SIGXFSZ, SIG_IGN);
}

// Writes what standard output still holds and closes descriptor 1. Returns
// 0 when everything written reached it, else the errno of the failure:
// earlier_error when an earlier flush failed and this one had nothing left
// to write (EIO when that is not known either).
inline int finish_standard_output(int earlier_error = 0) {
  if (fflush(stdout) != 0) return errno != 0 ? errno : EIO;
  if (ferror(stdout)) return earlier_error != 0 ? earlier_error : EIO;
  // A file system may report a failed write only when the file is closed.
  if (close(STDOUT_FILENO) != 0 && errno != EINTR) return errno;
  return 0;
}

#endif  // OVARN_BASE_STANDARD_STREAMS_H_
