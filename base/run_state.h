// The operands of one run of the main program, as main looked them up and
// as the driver and directory mode rewrite them. main makes it and hands it
// on by reference.
#ifndef OVARN_BASE_RUN_STATE_H_
#define OVARN_BASE_RUN_STATE_H_

#include <sys/stat.h>

struct run_state {
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

#endif  // OVARN_BASE_RUN_STATE_H_
