// Directory mode of the main program.
#ifndef OVARN_DIRCMP_COMPARE_DIRECTORIES_H_
#define OVARN_DIRCMP_COMPARE_DIRECTORIES_H_

#include "base/run_options.h"
#include "base/run_state.h"

// Compares the directories state.path1 and state.path2 entry by entry under
// options; state then holds directory path buffers (and the entry paths of
// the last child run). The caller ends the run through exit_run afterwards.
void compare_directories(const run_options& options, run_state& state);

#endif  // OVARN_DIRCMP_COMPARE_DIRECTORIES_H_
