// Pruning of the lines both files share at their ends, and the equivalence
// classes of equal line hashes that the candidate search works on.
//
// The steps run once, in this order: trim_common_ends, sort_line_view of the
// old view then of the new view, build_equivalence, shrink_new_class_list,
// restore_line_order, shrink_old_line_class; on large views the counting of
// count_line_classes stands for all of them after the first. The line tables
// do not survive them: their storage becomes old_line_class, and
// new_class_list or the counting's own table.
#ifndef OVARN_ENGINE_EQUIVALENCE_H_
#define OVARN_ENGINE_EQUIVALENCE_H_

#include <cstdint>

#include "engine/line_table.h"

// Leading and trailing lines whose hashes agree in both files; the suffix is
// counted among the lines after the prefix.
extern int32_t prefix_len;
extern int32_t suffix_len;

// Per file, the table from entry prefix_len on: view entry j is line
// prefix_len + j; entries 1..sorted_count are the lines left between prefix
// and suffix.
extern line_entry* sorted_view[2];
extern int32_t sorted_count[2];

// Elements 1..S2 + 1: the new view's positions in class order, each class
// start negated, then -1. Built in the new table's storage.
extern int32_t* new_class_list;
// Elements 1..S1: the class (position in the sorted new view of its first
// line) of each old view line, or 0. Built in the old table's storage.
extern int32_t* old_line_class;

// Sets prefix_len, suffix_len, both views, their counts and view_pos fields.
void trim_common_ends();

// Sorts entries 1..count by key, then by view_pos.
void sort_line_view(line_entry* view, int32_t count);

// On two sorted views: replaces each old key by its class (or 0) and writes
// new_class_list into class_storage, which is the new table's storage.
void build_equivalence(line_entry* old_view, int32_t old_count, line_entry* new_view,
                       int32_t new_count, int32_t* class_storage);

// Writes the class of each old view line, in view order, into class_storage,
// which is the old table's storage, as old_line_class.
void restore_line_order(line_entry* old_view, int32_t old_count, int32_t* class_storage);

// Shrink each vector to its final size (S2 + 2 and S1 + 2 elements).
void shrink_new_class_list();
void shrink_old_line_class();

// The steps from sort_line_view to shrink_old_line_class above, in their
// order, on the views trim_common_ends left.
void sort_line_classes();

// The same two vectors straight from the views in position order, without
// sorting either, when the new view's keys span no more values than it has
// lines (and at most 2^20), as line hashes do on large files: the new lines
// are placed by a count of each key and each old line looks its class up by
// its key. Returns false, having changed nothing, on views it does not suit.
bool count_line_classes();

// trim_common_ends, then count_line_classes or, where it does not suit,
// sort_line_classes, on the two loaded line tables. The view_pos fields are
// set only for the sorting, which alone reads them.
void build_line_classes();

#endif  // OVARN_ENGINE_EQUIVALENCE_H_
