// Classification of a name that both directories hold.
#ifndef OVARN_DIRCMP_COMPARE_ENTRY_H_
#define OVARN_DIRCMP_COMPARE_ENTRY_H_

#include "base/run_options.h"
#include "base/run_state.h"
#include "dircmp/listing_title.h"
#include "dircmp/read_directory.h"

// Forms the two entry paths in the directory path buffers of state, and,
// under options,
// reports (or, under -l, marks in entry.flags) a common subdirectory, an
// identical pair or a binary pair; a pair of differing text files is handed
// to a child run. An entry that cannot be opened gets the perror line for
// its path on standard error. No descriptor is left open. title announces a
// pair of differing text files.
void compare_entry(const run_options& options, run_state& state, command_title& title,
                   dir_entry& entry);

#endif  // OVARN_DIRCMP_COMPARE_ENTRY_H_
