// The helper's change search and change output. All lines are read through
// the window (line_window.h); L0 and L1 below are cur_line of the first and
// second file, and everything but helper_fail's messages goes to standard
// output. An operation that gives false has written its message, and the
// comparison ends with kHelperTrouble.
//
// A change is two counts a and b: a = -1 takes no line of the first file,
// otherwise it covers lines L0 to L0 + a; b likewise for the second file from
// L1. The count TO_END stands for a range that runs to the end of the file:
// it prints as "$", and at most TO_END + 1 lines are listed for it.
#ifndef OVARN_HELPER_RESYNC_H_
#define OVARN_HELPER_RESYNC_H_

#include <cstdint>
#include <string_view>

#include "helper/helper_state.h"

inline constexpr std::int32_t TO_END = 16384;
// How far past the first differing pair the search looks in each file.
inline constexpr int kLookAhead = kWindowLines - 1;

// True when texts x and y are equal; under blank_runs a run of white space
// in one matches a run of any length in the other where both have white
// space at the same point.
bool lines_equal(const helper_state& state, std::string_view x, std::string_view y);

// What find_resync came to.
enum class resync_outcome {
  found,    // a change was reported
  none,     // no place within the look-ahead; nothing was printed
  trouble,  // the run must end; the message has been written
};

// With the lines at L0 and L1 differing, looks up to kLookAhead lines ahead
// in each file for three consecutive lines equal in both, and reports the
// change before them (or, when a file ends first, everything to both ends).
resync_outcome find_resync(helper_state& state);

// Prints "x" for n 0, "x,$" for TO_END, and "x,x+n" otherwise.
void print_window_range(std::int64_t x, std::int32_t n);

// Prints the change a, b with its header and lines, drops the listed lines
// from the windows, and leaves L0 and L1 at the last line listed of each
// file (one before the change on a side that takes no lines).
[[nodiscard]] bool report_window_change(helper_state& state, std::int32_t a, std::int32_t b);

// Prints "L0,$cL1,$" and "---change record omitted", then writes the
// "can't resynchronize" message; the run ends with kHelperTrouble. Gives
// false, for its callers to return.
bool resync_failure(const helper_state& state);

#endif  // OVARN_HELPER_RESYNC_H_
