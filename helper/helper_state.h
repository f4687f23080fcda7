// The record of one comparison: the blank rule, the line that the comparison
// is at in each file, and the bounded window of lines held of each file. It
// owns the slot buffers and the descriptors it opened, and frees them when it
// goes out of scope. Lines are numbered from 1; file index 0 is the first
// operand, 1 the second.
#ifndef OVARN_HELPER_HELPER_STATE_H_
#define OVARN_HELPER_HELPER_STATE_H_

#include <cstdint>
#include <cstdlib>
#include <memory>

#include "helper/line_source.h"

// At most this many lines of each file are held at once.
inline constexpr int kWindowLines = 30;
// Each slot holds one line of at most kSlotBytes - 2 bytes and its terminator;
// a line is read with the limit kLineLimit, as fgets would be given.
inline constexpr int kSlotBytes = 256;
inline constexpr int kLineLimit = kSlotBytes - 1;

// A directory operand is joined with the other operand's last component in a
// buffer of this many bytes, terminator included.
inline constexpr int kJoinedPathBytes = 100;

// Exit statuses: no line differed, changes were reported, trouble.
inline constexpr int kHelperSame = 0;
inline constexpr int kHelperChanged = 1;
inline constexpr int kHelperTrouble = 2;

// Slot buffers come from malloc: the C++ runtime ends the process when it
// has no memory even for a nothrow new, and a window that cannot be had must
// end the run with its message.
struct slot_freer {
  void operator()(char* slot) const { std::free(slot); }
};

// The lines held of one file: slot k holds line first_line + k for k below
// stored_count. A slot's buffer is allocated the first time it is filled and
// then reused until the window goes.
struct line_window {
  std::int64_t first_line = 1;
  std::int32_t stored_count = 0;
  std::unique_ptr<char[], slot_freer> slots[kWindowLines];
  std::int32_t lengths[kWindowLines] = {};  // bytes of the line in each slot
  line_source source;
  const char* name = "";  // the path opened, for a read-error message
  char joined_path[kJoinedPathBytes] = {};  // a directory operand's file
};

struct helper_state {
  std::int32_t blank_runs = 0;  // non-zero: runs of white space compare equal
  std::int64_t cur_line[2] = {0, 0};
  line_window windows[2];
};

#endif  // OVARN_HELPER_HELPER_STATE_H_
