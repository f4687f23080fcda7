// ovarnh: compares two files of any size in one forward pass, holding at most
// WINDOW_LINES lines of each, and prints the plain change listing.
#include "helper/command_line.h"
#include "helper/helper_state.h"
#include "helper/open_operand.h"
#include "helper/run_comparison.h"

int main(int argc, char** argv) {
  static helper_state state;
  const helper_operands operands = read_command_line(state, argc, argv);
  // The first operand is opened, or the run ends, before the second is looked at.
  open_operand(state.windows[0], operands.paths[0], operands.paths[1]);
  open_operand(state.windows[1], operands.paths[1], operands.paths[0]);
  run_comparison(state);
}
