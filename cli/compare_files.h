// The file-pair comparison driver: decides how a pair is compared and runs the
// engine's steps and the output in their fixed order.
#ifndef OVARN_CLI_COMPARE_FILES_H_
#define OVARN_CLI_COMPARE_FILES_H_

#include <sys/stat.h>

#include "base/run_options.h"
#include "base/run_state.h"

// stat of path into *status; a path that cannot be looked up ends the run
// with "varn: " and the perror line for it.
void look_up(const char* path, struct stat* status);

// Compares state.path1 with state.path2 (not both directories) under options
// and ends the run through exit_run, or becomes the helper program under -h.
[[noreturn]] void compare_regular_files(const run_options& options, run_state& state);

// The comparison of two files that state.path1 and state.path2 name as they
// stand (no hand-off, joining or spooling), with their sizes in state.stat1
// and state.stat2: the identity test, the binary test, the engine and the
// output, under options, and the closing line of -c for a pair without
// changes. Sets run_exit.status as the run would end with it and returns it;
// only a failure that ends the run (a file that cannot be opened, memory)
// does not return. Every table and stream it made is gone when it returns.
int compare_file_pair(const run_options& options, const run_state& state);

#endif  // OVARN_CLI_COMPARE_FILES_H_
