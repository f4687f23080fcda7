// Pruning of the lines both files share at their ends, and the equivalence
// classes of equal line hashes that the candidate search works on.
//
// The line tables do not survive the classes: their storage becomes
// old_line_class and new_class_list, which are handed on in a line_classes
// record.
#ifndef OVARN_ENGINE_EQUIVALENCE_H_
#define OVARN_ENGINE_EQUIVALENCE_H_

#include <cstdint>

#include "base/table.h"
#include "engine/line_table.h"

struct line_classes {
  // Leading and trailing lines whose hashes agree in both files; the suffix
  // is counted among the lines after the prefix.
  int32_t prefix_len = 0;
  int32_t suffix_len = 0;
  // Per file, the line table from entry prefix_len on: view entry j is line
  // prefix_len + j; entries 1..sorted_count are the lines left between
  // prefix and suffix. They point into the line tables while those last.
  line_entry* sorted_view[2] = {nullptr, nullptr};
  int32_t sorted_count[2] = {0, 0};
  // Elements 1..S2 + 1: the new view's positions in class order, each class
  // start negated, then -1.
  table<int32_t> new_class_list;
  // Elements 1..S1: the class (position in the sorted new view of its first
  // line) of each old view line, or 0.
  table<int32_t> old_line_class;
};

// Test seam: sets prefix_len, suffix_len, both views, their counts and
// view_pos fields, the steps before sort_line_classes. build_line_classes
// takes them apart, as counting needs no view_pos.
void trim_common_ends(line_tables& tables, line_classes& classes);

// Sorts entries 1..count by key, then by view_pos.
void sort_line_view(line_entry* view, int32_t count);

// On views that trim_common_ends left: sorts both views and builds both
// vectors from them, each in the storage of the line table it replaces.
void sort_line_classes(line_tables& tables, line_classes& classes);

// The same two vectors straight from the views in position order, without
// sorting either, when the new view's keys span no more values than it has
// lines (and at most 2^20), as line hashes do on large files: the new lines
// are placed by a count of each key and each old line looks its class up by
// its key. Returns false, having changed nothing, on views it does not suit.
// The views need no view_pos.
bool count_line_classes(line_tables& tables, line_classes& classes);

// On the two loaded line tables, which it consumes: finds the common ends
// and the views, then count_line_classes or, where it does not suit,
// numbers the views and runs sort_line_classes.
void build_line_classes(line_tables& tables, line_classes& classes);

#endif  // OVARN_ENGINE_EQUIVALENCE_H_
