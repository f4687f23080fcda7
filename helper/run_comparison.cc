#include "helper/run_comparison.h"

#include <string_view>

#include "helper/command_line.h"
#include "helper/line_window.h"
#include "helper/open_operand.h"
#include "helper/resync.h"

namespace {

struct line_pair {
  std::string_view text[2];
};

// Moves both files on by one line; both are read even when the first ends.
bool fetch_next_pair(helper_state& state, line_pair& p) {
  for (int f = 0; f < 2; ++f) {
    if (!get_line(state, f, ++state.cur_line[f], p.text[f])) return false;
  }
  return true;
}

}  // namespace

int run_comparison(helper_state& state) {
  bool differed = false;
  line_pair p;
  if (!fetch_next_pair(state, p)) return kHelperTrouble;
  while (!p.text[0].empty() || !p.text[1].empty()) {
    if (p.text[0].empty() || p.text[1].empty()) {
      // One file goes on: its remaining lines are added or deleted. A change
      // lists at most TO_END + 1 of them, and the next one goes on from there,
      // so that every line of the longer file is listed.
      differed = true;
      const bool listed = p.text[0].empty() ? report_window_change(state, -1, TO_END)
                                            : report_window_change(state, TO_END, -1);
      if (!listed) return kHelperTrouble;
    } else if (lines_equal(state, p.text[0], p.text[1])) {
      drop_lines(state, 0, state.cur_line[0]);
      drop_lines(state, 1, state.cur_line[1]);
    } else {
      differed = true;
      const resync_outcome found = find_resync(state);
      if (found == resync_outcome::trouble) return kHelperTrouble;
      if (found == resync_outcome::none) {
        resync_failure(state);
        return kHelperTrouble;
      }
    }
    if (!fetch_next_pair(state, p)) return kHelperTrouble;
  }
  return differed ? kHelperChanged : kHelperSame;
}

int run_helper(int argc, char** argv) {
  helper_state state;
  helper_operands operands;
  if (!read_command_line(state, argc, argv, operands)) return kHelperTrouble;
  // The first operand is opened, or the run ends, before the second is looked at.
  if (!open_operand(state.windows[0], operands.paths[0], operands.paths[1])) return kHelperTrouble;
  if (!open_operand(state.windows[1], operands.paths[1], operands.paths[0])) return kHelperTrouble;
  return run_comparison(state);
}
