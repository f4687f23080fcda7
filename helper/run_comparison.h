// The helper's comparison: walks both files forward together, passes over
// equal lines, reports each change found by find_resync, and lists what one
// file has beyond the end of the other. Ends the process with status 0 when
// no lines differed, 1 when changes were reported, 2 on trouble.
#ifndef OVARN_HELPER_RUN_COMPARISON_H_
#define OVARN_HELPER_RUN_COMPARISON_H_

#include "helper/helper_state.h"

// Both windows must have their source open.
[[noreturn]] void run_comparison(helper_state& state);

#endif  // OVARN_HELPER_RUN_COMPARISON_H_
