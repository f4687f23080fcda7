#include "dircmp/run_child_comparison.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "base/build_paths.h"
#include "base/exec_installed.h"
#include "base/exit_run.h"
#include "base/messages.h"

namespace {

// Descriptors of the pipe from the comparison process to the pager.
struct pager_pipe {
  int read_end;
  int write_end;
};

[[noreturn]] void system_call_failed() {
  fprintf(stderr, kMsgSystemError, strerror(errno));
  exit_run();
}

// Both ends close themselves in the programs started, so that no end is
// kept open by mistake and the pager always sees the end of its input.
pager_pipe make_pager_pipe() {
  int fds[2];
  if (pipe(fds) != 0) system_call_failed();
  for (int fd : fds) fcntl(fd, F_SETFD, FD_CLOEXEC);
  return pager_pipe{fds[0], fds[1]};
}

// In the parent a pipe end left open would keep the pager waiting for
// more input, and this run waiting for the pager. A close that fails in any
// way, even cut short by a signal, may have left the end open (POSIX leaves
// it unspecified); returns false then, with errno set.
bool close_pipe(pager_pipe p) {
  for (int fd : {p.read_end, p.write_end}) {
    if (close(fd) != 0) return false;
  }
  return true;
}

// Ends the run on a failed call once the children are gone: left running,
// they would print into the output after the run has ended.
[[noreturn]] void end_with_children(std::initializer_list<pid_t> children) {
  const int error = errno;
  for (pid_t child : children) kill(child, SIGKILL);
  for (pid_t child : children) {
    while (waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  errno = error;
  system_call_failed();
}

// In a child: puts the pipe's end on fd. A child that cannot would read or
// write the wrong file, so it ends instead.
void take_pipe_end(int end, int fd) {
  if (dup2(end, fd) < 0) system_call_failed();
}

pid_t start_pager(pager_pipe p, const char* pager_path, char* title) {
  const pid_t pid = fork();
  if (pid < 0) {
    fputs(kMsgNoMoreProcessesPager, stderr);
    exit_run();
  }
  if (pid > 0) return pid;
  take_pipe_end(p.read_end, 0);
  char name[] = "pr";
  char header_option[] = "-h";
  char form_feed_option[] = "-f";
  char* pager_args[] = {name, header_option, title, form_feed_option, nullptr};
  exec_installed(pager_path, pager_args);
  perror(pager_path);
  exit_run();
}

pid_t start_comparison(char** arg_vector, const pager_pipe* p, const char* program_path) {
  const pid_t pid = fork();
  if (pid < 0) {
    fputs(kMsgNoMoreProcesses, stderr);
    exit_run();
  }
  if (pid > 0) return pid;
  if (p != nullptr) take_pipe_end(p->write_end, 1);
  exec_installed(program_path, arg_vector);
  perror(program_path);
  exit_run();
}

// Waits until the process has ended. A wait that fails otherwise would let
// this run print on while the child still prints, so it ends the run.
void wait_for(pid_t child) {
  for (;;) {
    const pid_t done = waitpid(child, nullptr, 0);
    if (done == child) return;
    if (done < 0 && errno != EINTR) system_call_failed();
  }
}

// Reaps the pager and any other child that is left.
void wait_for_all() {
  for (;;) {
    if (wait(nullptr) < 0 && errno != EINTR) return;
  }
}

}  // namespace

void run_child_comparison(const run_state& state, command_title* title) {
  run_child_program(state, title, OVARN_PROGRAM_PATH, OVARN_PAGER_PATH);
}

void run_child_program(const run_state& state, command_title* title, const char* program_path,
                       const char* pager_path) {
  // Everything printed so far comes out before anything of the children.
  flush_output();
  if (title == nullptr) {
    wait_for(start_comparison(state.arg_vector, nullptr, program_path));
    wait_for_all();
    return;
  }
  complete_listing_title(*title, state.path1, state.path2);
  const pager_pipe p = make_pager_pipe();
  const pid_t pager = start_pager(p, pager_path, title->listing_title);
  const pid_t comparison = start_comparison(state.arg_vector, &p, program_path);
  // The pager sees the end of its input once the comparison process is gone.
  if (!close_pipe(p)) end_with_children({comparison, pager});
  wait_for(comparison);
  wait_for(pager);
  wait_for_all();
}
