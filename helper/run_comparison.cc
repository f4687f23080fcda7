#include "helper/run_comparison.h"

#include <cstdlib>
#include <string_view>

#include "helper/line_window.h"
#include "helper/resync.h"

namespace {

struct line_pair {
  std::string_view text[2];
};

// Moves both files on by one line; both are read even when the first ends.
line_pair fetch_next_pair(helper_state& state) {
  line_pair p;
  for (int f = 0; f < 2; ++f) p.text[f] = get_line(state, f, ++state.cur_line[f]);
  return p;
}

}  // namespace

void run_comparison(helper_state& state) {
  bool differed = false;
  line_pair p = fetch_next_pair(state);
  for (; !p.text[0].empty() && !p.text[1].empty(); p = fetch_next_pair(state)) {
    if (lines_equal(state, p.text[0], p.text[1])) {
      drop_lines(state, 0, state.cur_line[0]);
      drop_lines(state, 1, state.cur_line[1]);
    } else {
      differed = true;
      if (!find_resync(state)) resync_failure(state);
    }
  }
  if (p.text[0].empty() && p.text[1].empty()) std::exit(differed ? 1 : 0);
  // One file goes on: its remaining lines are added or deleted.
  if (p.text[0].empty()) {
    report_window_change(state, -1, TO_END);
  } else {
    report_window_change(state, TO_END, -1);
  }
  std::exit(1);
}
