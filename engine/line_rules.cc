#include "engine/line_rules.h"

// Sixteen consecutive byte values starting at b.
#define BYTE_ROW(b)                                                          \
  (b) + 0, (b) + 1, (b) + 2, (b) + 3, (b) + 4, (b) + 5, (b) + 6, (b) + 7,    \
      (b) + 8, (b) + 9, (b) + 10, (b) + 11, (b) + 12, (b) + 13, (b) + 14, (b) + 15

const unsigned char identity_map[256] = {
    BYTE_ROW(0x00), BYTE_ROW(0x10), BYTE_ROW(0x20), BYTE_ROW(0x30),
    BYTE_ROW(0x40), BYTE_ROW(0x50), BYTE_ROW(0x60), BYTE_ROW(0x70),
    BYTE_ROW(0x80), BYTE_ROW(0x90), BYTE_ROW(0xA0), BYTE_ROW(0xB0),
    BYTE_ROW(0xC0), BYTE_ROW(0xD0), BYTE_ROW(0xE0), BYTE_ROW(0xF0),
};

// 0x40-0x5F fold onto 0x60-0x7F: the capitals and the five signs around them.
const unsigned char fold_map[256] = {
    BYTE_ROW(0x00), BYTE_ROW(0x10), BYTE_ROW(0x20), BYTE_ROW(0x30),
    BYTE_ROW(0x60), BYTE_ROW(0x70), BYTE_ROW(0x60), BYTE_ROW(0x70),
    BYTE_ROW(0x80), BYTE_ROW(0x90), BYTE_ROW(0xA0), BYTE_ROW(0xB0),
    BYTE_ROW(0xC0), BYTE_ROW(0xD0), BYTE_ROW(0xE0), BYTE_ROW(0xF0),
};

#undef BYTE_ROW

line_rules make_line_rules(bool blank_runs, bool all_blanks, bool fold_case) {
  return line_rules{blank_runs, all_blanks, fold_case, fold_case ? fold_map : identity_map};
}

bool loose_rules(const line_rules& rules) {
  return rules.blank_runs || rules.all_blanks || rules.fold_case;
}
