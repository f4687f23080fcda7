// Fails the calls that the fault-injection run cannot fail through fiu-run:
// OVARN_FAIL names one of stat, fstat, pipe, dup, dup2, execv and close, and
// OVARN_FAIL_PERCENT says how many of its calls fail (100 by default), chosen
// from OVARN_FAIL_SEED. Preloaded into the programs by
// tests/fault_injection.sh; never part of them.
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

namespace {

bool should_fail(const char* call, int error) {
  const char* chosen = getenv("OVARN_FAIL");
  if (chosen == nullptr || strcmp(chosen, call) != 0) return false;
  const char* percent_text = getenv("OVARN_FAIL_PERCENT");
  const int percent = percent_text != nullptr ? atoi(percent_text) : 100;
  static unsigned seed = 0;
  if (seed == 0) {
    const char* seed_text = getenv("OVARN_FAIL_SEED");
    seed = (seed_text != nullptr ? static_cast<unsigned>(atoi(seed_text)) : 1u) * 7919u +
           static_cast<unsigned>(getpid());
  }
  if (rand_r(&seed) % 100 >= percent) return false;
  errno = error;
  return true;
}

template <typename Call>
Call next_call(const char* name) {
  return reinterpret_cast<Call>(dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" {

int stat(const char* path, struct stat* status) {
  if (should_fail("stat", EIO)) return -1;
  return next_call<int (*)(const char*, struct stat*)>("stat")(path, status);
}

int fstat(int fd, struct stat* status) {
  if (should_fail("fstat", EIO)) return -1;
  return next_call<int (*)(int, struct stat*)>("fstat")(fd, status);
}

int pipe(int fds[2]) {
  if (should_fail("pipe", EMFILE)) return -1;
  return next_call<int (*)(int*)>("pipe")(fds);
}

int dup(int fd) {
  if (should_fail("dup", EMFILE)) return -1;
  return next_call<int (*)(int)>("dup")(fd);
}

int dup2(int fd, int target) {
  if (should_fail("dup2", EMFILE)) return -1;
  return next_call<int (*)(int, int)>("dup2")(fd, target);
}

// A close cut short by a signal, leaving the descriptor open as POSIX
// allows (fiu-run fails close with a random errno, so only now and then
// with this one).
int close(int fd) {
  if (should_fail("close", EINTR)) return -1;
  return next_call<int (*)(int)>("close")(fd);
}

int execv(const char* path, char* const argv[]) {
  if (should_fail("execv", EACCES)) return -1;
  return next_call<int (*)(const char*, char* const*)>("execv")(path, argv);
}

}  // extern "C"
