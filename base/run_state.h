// The process-wide state of the main program. A process compares one pair of
// files or directories, so this is made once and never reset.
#ifndef OVARN_BASE_RUN_STATE_H_
#define OVARN_BASE_RUN_STATE_H_

#include <sys/stat.h>

#include <csignal>
#include <cstdint>

struct run_state {
  // The status the process ends with: 0 no differences, 1 differences,
  // 2 trouble. Read by the signal handler, hence volatile.
  volatile int32_t exit_status = 2;
  int32_t changes_found = 0;
  // The spool file's path while one exists; empty otherwise. Read by the
  // signal handler.
  char temp_path[1024] = {};
  // The process's own argument vector, changed in place and handed on to the
  // helper program and to child runs in its current state.
  char** arg_vector = nullptr;
  char* path1 = nullptr;
  char* path2 = nullptr;
  struct stat stat1 = {};
  struct stat stat2 = {};
  // Directory mode: the insertion points of the two directory path buffers
  // that path1 and path2 then hold.
  char* path1_end = nullptr;
  char* path2_end = nullptr;
};

extern run_state state;

#endif  // OVARN_BASE_RUN_STATE_H_
