// The file-pair comparison driver: decides how a pair is compared and runs the
// engine's steps and the output in their fixed order.
#ifndef OVARN_CLI_COMPARE_FILES_H_
#define OVARN_CLI_COMPARE_FILES_H_

// Compares state.path1 with state.path2 (not both directories) and ends the
// run through exit_run, or becomes the helper program under -h.
[[noreturn]] void compare_regular_files();

// The comparison of two files that state.path1 and state.path2 name as
// they stand (no hand-off, joining or spooling): the identity test, the
// binary test, the engine and the output, under options, and the closing
// line of -c for a pair without changes. Sets state.exit_status and
// state.changes_found as the run would end with them and returns; only a failure that ends the run (a file that cannot be
// opened, memory) does not return. Every table and stream it made is gone
// when it returns.
void compare_file_pair();

#endif  // OVARN_CLI_COMPARE_FILES_H_
