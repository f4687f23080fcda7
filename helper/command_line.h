// The helper's command line: option groups, then exactly two operands.
//
// Every argument that begins with "-" up to the first one that does not is an
// option group; each b in it counts once in blank_runs and every other
// letter is ignored, so the options the main program hands along are
// consumed. A bare "-" there is an option group too.
#ifndef OVARN_HELPER_COMMAND_LINE_H_
#define OVARN_HELPER_COMMAND_LINE_H_

#include "helper/helper_state.h"

struct helper_operands {
  const char* paths[2] = {};  // first and second operand
};

// Sets blank_runs and the two operands; false, with the message written by
// helper_fail, unless exactly two arguments follow the option groups.
[[nodiscard]] bool read_command_line(helper_state& state, int argc, char** argv,
                                     helper_operands& operands);

#endif  // OVARN_HELPER_COMMAND_LINE_H_
