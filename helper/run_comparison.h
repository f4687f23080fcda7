// The helper's comparison: walks both files forward together, passes over
// equal lines, reports each change found by find_resync, and lists what one
// file has beyond the end of the other. Gives the exit status: kHelperSame
// when no lines differed, kHelperChanged when changes were reported,
// kHelperTrouble once a message has been written.
#ifndef OVARN_HELPER_RUN_COMPARISON_H_
#define OVARN_HELPER_RUN_COMPARISON_H_

#include "helper/helper_state.h"

// Both windows must have their source open.
int run_comparison(helper_state& state);

// The whole helper program on one command line (argument zero first), with
// a record of its own that is freed on return: reads the options, opens both
// operands, compares, and gives the exit status. Only the entry point ends
// the process.
int run_helper(int argc, char** argv);

#endif  // OVARN_HELPER_RUN_COMPARISON_H_
