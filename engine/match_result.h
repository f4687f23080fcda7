// The result of the line matching, all that the change output reads: for
// every old line the new line it is paired with, and where every line of
// either file ends.
#ifndef OVARN_ENGINE_MATCH_RESULT_H_
#define OVARN_ENGINE_MATCH_RESULT_H_

#include <cstdint>

#include "base/table.h"

struct match_result {
  // The lines of the old file (0) and the new file (1).
  int32_t line_count[2] = {0, 0};
  // Elements 0 .. line_count[0] + 1. Element i (1 <= i <= line_count[0]) is
  // the new line paired with old line i, or 0. The non-zero elements rise
  // strictly. Element line_count[0] + 1 is left for the change walk to set.
  table<int32_t> match_vector;
  // Element i is the byte offset just past the newline of line i; element 0
  // is 0. line_count + 2 elements each.
  table<int64_t> old_offsets;
  table<int64_t> new_offsets;
};

#endif  // OVARN_ENGINE_MATCH_RESULT_H_
