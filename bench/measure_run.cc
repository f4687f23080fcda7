// measure_run COMMAND [ARG...]: runs the command with standard output on
// /dev/null, waits for it, and prints one line: its wall time in seconds, its
// peak resident memory in KiB, its exit status (negative: the signal that
// ended it) and its processor time (user and system) in seconds. The peak
// and the processor time cover the command and every descendant it waited
// for.
//
// The kernel starts a new program's peak at the resident size of the process
// that forked it, so this launcher is kept small and linked statically: the
// peak it reports then carries at most a few hundred KiB of its own.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>

namespace {

double now() {
  timespec at;
  clock_gettime(CLOCK_MONOTONIC, &at);
  return static_cast<double>(at.tv_sec) + static_cast<double>(at.tv_nsec) / 1e9;
}

double seconds_of(const timeval& span) {
  return static_cast<double>(span.tv_sec) + static_cast<double>(span.tv_usec) / 1e6;
}

int exit_code(int wait_status) {
  if (WIFSIGNALED(wait_status)) return -WTERMSIG(wait_status);
  return WEXITSTATUS(wait_status);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    fputs("usage: measure_run command [arg...]\n", stderr);
    return 2;
  }
  double start = now();
  pid_t child = fork();
  if (child < 0) {
    perror("measure_run: fork");
    return 2;
  }
  if (child == 0) {
    int null = open("/dev/null", O_WRONLY);
    if (null < 0 || dup2(null, 1) < 0) _exit(127);
    close(null);
    execv(argv[1], argv + 1);
    perror(argv[1]);
    _exit(127);
  }
  int wait_status = 0;
  rusage usage = {};
  if (wait4(child, &wait_status, 0, &usage) < 0) {
    perror("measure_run: wait4");
    return 2;
  }
  double seconds = now() - start;
  double cpu = seconds_of(usage.ru_utime) + seconds_of(usage.ru_stime);
  printf("%.6f %ld %d %.6f\n", seconds, usage.ru_maxrss, exit_code(wait_status), cpu);
  return 0;
}
