#include "fuzz/fork_runner.h"

#include <fcntl.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "fuzz/fuzz_input.h"

// The inline 8-bit coverage counters of every instrumented object lie in
// this section; the linker marks its bounds.
extern "C" {
extern uint8_t __start___sancov_cntrs[] __attribute__((weak));
extern uint8_t __stop___sancov_cntrs[] __attribute__((weak));
}

// Sanitizer errors abort the child, so that the parent sees them as a signal;
// the programs keep their tables until exit by design, so leaks are not faults.
extern "C" const char* __asan_default_options() { return "abort_on_error=1:detect_leaks=0"; }
extern "C" const char* __ubsan_default_options() {
  return "halt_on_error=1:abort_on_error=1:print_stacktrace=1";
}

namespace {

constexpr unsigned kChildSeconds = 10;  // a run longer than this is a hang

// Coverage handed back by the child: a flag and a copy of the counters.
struct shared_coverage {
  volatile int filled;
  uint8_t counters[1];
};

size_t counter_bytes() {
  if (__start___sancov_cntrs == nullptr) return 0;
  return static_cast<size_t>(__stop___sancov_cntrs - __start___sancov_cntrs);
}

shared_coverage* coverage() {
  static shared_coverage* shared = [] {
    void* block = mmap(nullptr, sizeof(shared_coverage) + counter_bytes(), PROT_READ | PROT_WRITE,
                       MAP_SHARED | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED) abort();
    return static_cast<shared_coverage*>(block);
  }();
  return shared;
}

// Runs in the child when the program calls exit(): hands the counters back
// and ends at once with the program's status, before the fuzzer's own exit
// handler could take the exit for a fault of the fuzz target.
void child_exit(int status, void*) {
  fflush(nullptr);
  if (size_t n = counter_bytes()) memcpy(coverage()->counters, __start___sancov_cntrs, n);
  coverage()->filled = 1;
  _exit(status);
}

[[noreturn]] void child(entry_point entry, const std::vector<std::string>& args,
                        const std::string& stdin_path, const std::string& stderr_path) {
  const int in = open(stdin_path.c_str(), O_RDONLY);
  const int out = open("/dev/null", O_WRONLY);
  const int err = open(stderr_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (in < 0 || out < 0 || err < 0) _exit(126);
  dup2(in, 0);
  dup2(out, 1);
  dup2(err, 2);
  on_exit(child_exit, nullptr);
  alarm(kChildSeconds);
  std::vector<std::string> copies = args;
  std::vector<char*> argv;
  for (auto& a : copies) argv.push_back(a.data());
  argv.push_back(nullptr);
  entry(static_cast<int>(copies.size()), argv.data());
  _exit(125);  // the entry points never return
}

void show_file(const std::string& path) {
  if (FILE* f = fopen(path.c_str(), "r")) {
    char block[4096];
    size_t n;
    while ((n = fread(block, 1, sizeof block, f)) > 0) fwrite(block, 1, n, stderr);
    fclose(f);
  }
}

}  // namespace

void run_in_child(entry_point entry, const std::vector<std::string>& args,
                  const std::string& stdin_path) {
  const std::string stderr_path = fuzz_work_dir() + "/stderr";
  coverage()->filled = 0;
  fflush(nullptr);
  const pid_t pid = fork();
  if (pid < 0) abort();
  if (pid == 0) child(entry, args, stdin_path, stderr_path);
  int wstatus = 0;
  while (waitpid(pid, &wstatus, 0) < 0) {
    if (errno != EINTR) abort();
  }
  if (coverage()->filled) {
    if (size_t n = counter_bytes()) memcpy(__start___sancov_cntrs, coverage()->counters, n);
  }
  const bool hung = WIFSIGNALED(wstatus) && WTERMSIG(wstatus) == SIGALRM;
  const bool died = WIFSIGNALED(wstatus);
  const bool odd_status = WIFEXITED(wstatus) && WEXITSTATUS(wstatus) > 2;
  // Sanitizer reports abort the child, so they arrive here as a signal; the
  // text of standard error is not searched, because the programs echo their
  // arguments in messages.
  if (hung || died || odd_status) {
    show_file(stderr_path);
    fprintf(stderr, "child run %s (", hung ? "hung" : "failed");
    for (const auto& a : args) fprintf(stderr, " %s", a.c_str());
    fprintf(stderr, " ): %s %d\n", died ? "signal" : "status",
            died ? WTERMSIG(wstatus) : WEXITSTATUS(wstatus));
    remove_fuzz_work_dir();  // the fuzzer saves the input itself; abort skips exit handlers
    abort();
  }
}
