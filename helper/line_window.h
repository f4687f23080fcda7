// The window of lines held of each file, and the helper's one way to report
// trouble.
//
// get_line may be asked only for a line the window holds or for the next one
// after them; drop_lines only for lines the window holds, oldest first. A text
// that get_line returns lies in the window and keeps its content only until
// the next drop_lines of the same file.
//
// An operation that can fail gives false once it has written its message;
// the caller then stops and hands kHelperTrouble up to the entry point, so
// nothing more is written to standard output.
#ifndef OVARN_HELPER_LINE_WINDOW_H_
#define OVARN_HELPER_LINE_WINDOW_H_

#include <cstdint>
#include <string_view>

#include "helper/helper_state.h"

// Writes "varnh: <text><detail>" and a newline to standard error; the run
// then ends with kHelperTrouble. Gives false, for its callers to return.
bool helper_fail(const char* text, const char* detail);

// Sets text to line n of file f, with its newline when it has one, or to an
// empty text when the file ends before line n (a line is never empty). A
// line is read as fgets with a limit of kLineLimit would read it, so a longer
// line of the file comes as several lines. False on a read error, a misuse
// of the window or a slot that cannot be allocated.
[[nodiscard]] bool get_line(helper_state& state, int f, std::int64_t n, std::string_view& text);

// Removes from the window of file f every line up to and including line n.
void drop_lines(helper_state& state, int f, std::int64_t n);

#endif  // OVARN_HELPER_LINE_WINDOW_H_
