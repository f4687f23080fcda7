// Opening one operand of the helper: "-" is standard input, a directory
// stands for the file in it named after the other operand's last component,
// anything else is opened as it is. A failure is reported through
// helper_fail.
#ifndef OVARN_HELPER_OPEN_OPERAND_H_
#define OVARN_HELPER_OPEN_OPERAND_H_

#include "helper/helper_state.h"

// The text after the last "/" of path that is followed by a character other
// than "/" and the end; the whole path when there is no such "/". So "x/y"
// gives "y" and "x/y/" gives "y/".
const char* last_component(const char* path);

// Opens path for reading, with other as the other operand's path, and sets
// the window's source and name; the window closes what it opened. A joined
// path that does not fit kJoinedPathBytes fails as a path that cannot be
// opened. False once the failure is reported.
[[nodiscard]] bool open_operand(line_window& w, const char* path, const char* other);

#endif  // OVARN_HELPER_OPEN_OPERAND_H_
