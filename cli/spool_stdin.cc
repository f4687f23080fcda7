#include "cli/spool_stdin.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>

#include "base/exit_run.h"
#include "base/messages.h"
#include "port/system.h"

namespace {

const char kSpoolTemplate[] = "/tmp/dXXXXX";
const int kCaughtSignals[] = {SIGHUP, SIGINT, SIGPIPE, SIGTERM};

// Signals whose default action ends the process without a core or with one;
// the spool file must not outlive any of them. Those above end the run
// through its exit status instead.
const int kFatalSignals[] = {SIGQUIT, SIGILL,  SIGTRAP, SIGABRT,   SIGBUS,  SIGFPE,
                             SIGUSR1, SIGSEGV, SIGUSR2, SIGALRM,   SIGXCPU, SIGVTALRM,
                             SIGPROF, SIGSYS};

// Only async-signal-safe calls: remove the spool file and end with the
// current status.
void exit_on_signal(int) {
  if (run_exit.spool_path[0] != '\0') unlink(run_exit.spool_path);
  _exit(run_exit.status);
}

// Removes the spool file, then lets the signal do what it would have done.
void remove_and_resend(int signal_number) {
  if (run_exit.spool_path[0] != '\0') unlink(run_exit.spool_path);
  signal(signal_number, SIG_DFL);
  raise(signal_number);
}

// Catches a signal that has its default action, and with also_ignored one
// that the run was started with ignored (as a shell starts a background job
// with SIGINT ignored); one that a sanitizer handles keeps its handler.
void catch_signal(int signal_number, void (*handler)(int), bool also_ignored) {
  struct sigaction current;
  if (sigaction(signal_number, nullptr, &current) != 0) return;
  const bool ignored = current.sa_handler == SIG_IGN;
  if (current.sa_handler != SIG_DFL && !(also_ignored && ignored)) return;
  signal(signal_number, handler);
}

// Replaces the trailing X characters of name with random letters and digits.
void fill_random_suffix(char* name) {
  static const char kAlphabet[] =
      "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
  size_t length = strlen(name);
  unsigned char noise[16];
  if (!fill_random(noise, sizeof noise)) {
    unsigned seed = static_cast<unsigned>(time(nullptr)) ^ static_cast<unsigned>(getpid());
    for (unsigned char& n : noise) n = static_cast<unsigned char>(rand_r(&seed));
  }
  for (size_t i = length, k = 0; i > 0 && name[i - 1] == 'X'; --i, ++k) {
    name[i - 1] = kAlphabet[noise[k % sizeof noise] % (sizeof kAlphabet - 1)];
  }
}

// mkstemp with a five-character suffix: a fresh name until one can be
// created exclusively. Returns the descriptor, or -1 with errno set.
int make_spool_file(char* name_out, size_t size) {
  for (int attempt = 0; attempt < 10000; ++attempt) {
    snprintf(name_out, size, "%s", kSpoolTemplate);
    fill_random_suffix(name_out);
    int fd = open(name_out, O_RDWR | O_CREAT | O_EXCL, 0600);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

void block_caught_signals(int how) {
  sigset_t set;
  sigemptyset(&set);
  for (int s : kCaughtSignals) sigaddset(&set, s);
  for (int s : kFatalSignals) sigaddset(&set, s);
  sigprocmask(how, &set, nullptr);
}

// Writes the whole block; a short write is followed by another, so that a
// failure is told with the system's reason (a full disk, the file-size
// limit) rather than none.
bool write_all(int fd, const char* bytes, size_t count) {
  while (count > 0) {
    const ssize_t done = write(fd, bytes, count);
    if (done < 0 && errno == EINTR) continue;
    if (done <= 0) {
      if (done == 0) errno = ENOSPC;
      return false;
    }
    bytes += done;
    count -= static_cast<size_t>(done);
  }
  return true;
}

// Copies standard input into fd in blocks. A read error is not the end of
// the input: the comparison would go on with part of it.
void copy_stdin(int fd) {
  char block[1024];
  for (;;) {
    ssize_t count = read(0, block, sizeof block);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) {
      fprintf(stderr, kMsgInputError, strerror(errno));
      exit_run();
    }
    if (count == 0) return;
    if (!write_all(fd, block, static_cast<size_t>(count))) {
      report_path_error(run_exit.spool_path);
      exit_run();
    }
  }
}

}  // namespace

char* spool_stdin() {
  // The signals that end the run through its exit status end it alike
  // however the run was started, and the spool file must not outlive it.
  for (int s : kCaughtSignals) catch_signal(s, exit_on_signal, true);
  for (int s : kFatalSignals) catch_signal(s, remove_and_resend, false);

  // The path counts as ours only once the file exists, and a signal must not
  // see a file that is made but not yet recorded.
  char name[sizeof run_exit.spool_path];
  block_caught_signals(SIG_BLOCK);
  int fd = make_spool_file(name, sizeof name);
  if (fd >= 0) memcpy(run_exit.spool_path, name, sizeof name);
  block_caught_signals(SIG_UNBLOCK);
  if (fd < 0) {
    report_path_error(kSpoolTemplate);
    exit_run();
  }

  copy_stdin(fd);
  close(fd);
  return run_exit.spool_path;
}
