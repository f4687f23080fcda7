// The helper's change search and change output. All lines are read through
// the window (line_window.h); L0 and L1 below are cur_line of the first and
// second file, and everything but helper_fail's messages goes to standard
// output.
//
// A change is two counts a and b: a = -1 takes no line of the first file,
// otherwise it covers lines L0 to L0 + a; b likewise for the second file from
// L1. The count TO_END stands for every remaining line of the file.
#ifndef OVARN_HELPER_RESYNC_H_
#define OVARN_HELPER_RESYNC_H_

#include <cstdint>
#include <string_view>

#include "helper/helper_state.h"

inline constexpr std::int32_t TO_END = 16384;
// How far past the first differing pair the search looks in each file.
inline constexpr int LOOK_AHEAD = WINDOW_LINES - 1;

// True when texts x and y are equal; under blank_runs a run of white space
// in one matches a run of any length in the other where both have white
// space at the same point.
bool lines_equal(const helper_state& state, std::string_view x, std::string_view y);

// With the lines at L0 and L1 differing, looks up to LOOK_AHEAD lines ahead
// in each file for three consecutive lines equal in both, and reports the
// change before them (or, when a file ends first, everything to both ends).
// False when no such place lies within the look-ahead; nothing is printed.
bool find_resync(helper_state& state);

// Prints "x" for n 0, "x,$" for TO_END, and "x,x+n" otherwise.
void print_window_range(std::int64_t x, std::int32_t n);

// Prints the change a, b with its header and lines, drops the listed lines
// from the windows, and leaves L0 and L1 at the last line listed of each
// file (one before the change on a side that takes no lines).
void report_window_change(helper_state& state, std::int32_t a, std::int32_t b);

// Prints "L0,$cL1,$" and "---change record omitted", then ends the process
// with the "can't resynchronize" message and status 2.
[[noreturn]] void resync_failure(const helper_state& state);

#endif  // OVARN_HELPER_RESYNC_H_
