// The window of lines held of each file, and the helper's one way to give up.
//
// get_line may be asked only for a line the window holds or for the next one
// after them; drop_lines only for lines the window holds, oldest first. A text
// that get_line returns lies in the window and keeps its content only until
// the next drop_lines of the same file.
#ifndef OVARN_HELPER_LINE_WINDOW_H_
#define OVARN_HELPER_LINE_WINDOW_H_

#include <cstdint>
#include <string_view>

#include "helper/helper_state.h"

// Writes "varnh: <text><detail>" and a newline to standard error and ends
// the process with status 2.
[[noreturn]] void helper_fail(const char* text, const char* detail);

// The text of line n of file f, with its newline when it has one, or an empty
// text when the file ends before line n (a line is never empty). A line is
// read as fgets with a limit of LINE_LIMIT would read it, so a longer line of
// the file comes as several lines.
std::string_view get_line(helper_state& state, int f, std::int64_t n);

// Removes from the window of file f every line up to and including line n.
void drop_lines(helper_state& state, int f, std::int64_t n);

#endif  // OVARN_HELPER_LINE_WINDOW_H_
