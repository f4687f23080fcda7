// The main program's file-pair comparison run in process on two files, as
// the driver runs it after the operands are resolved.
#ifndef OVARN_FUZZ_FILE_PAIR_H_
#define OVARN_FUZZ_FILE_PAIR_H_

#include <string>

#include "base/run_options.h"

// Compares old_path with new_path under o, with a run_state of its own, and
// returns the exit status the run would end with; what it printed is left
// on standard output.
int compare_in_process(const run_options& o, const std::string& old_path,
                       const std::string& new_path);

#endif  // OVARN_FUZZ_FILE_PAIR_H_
