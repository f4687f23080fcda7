// Child runs of directory mode: the main program started again from its
// install path on the pair of entry paths that state.path1 and state.path2
// hold, optionally paged through pr.
#ifndef OVARN_DIRCMP_RUN_CHILD_COMPARISON_H_
#define OVARN_DIRCMP_RUN_CHILD_COMPARISON_H_

#include "base/run_state.h"
#include "dircmp/listing_title.h"

// Flushes standard output, then runs the main program with state.arg_vector
// and waits for it. With a title, completes it with the two paths and pipes
// the child's output into pr with that page header. Returns after every
// child has ended; a process or pipe that cannot be created ends the run
// through exit_run.
void run_child_comparison(const run_state& state, command_title* title);

// The same with the program and the pager given by path (each tried as
// exec_installed does). A program or pager that cannot be run gets the
// perror line for its path, and its process ends; the call still returns.
void run_child_program(const run_state& state, command_title* title, const char* program_path,
                       const char* pager_path);

#endif  // OVARN_DIRCMP_RUN_CHILD_COMPARISON_H_
