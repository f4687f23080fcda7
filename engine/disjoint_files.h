// The files that have no line in common.
//
// Pairings of the candidate search are made between lines of equal hash and
// kept only when the lines really are equal. When no line of the old file
// equals a line of the new file, every pairing the search could make would
// be dropped, and the whole search can be left out: the match vector is all
// zeros. Telling such a pair of files apart costs one more pass over each.
#ifndef OVARN_ENGINE_DISJOINT_FILES_H_
#define OVARN_ENGINE_DISJOINT_FILES_H_

#include "engine/line_rules.h"
#include "engine/line_table.h"

// On the two loaded line tables, before they are pruned: true only when it
// is certain that no old line equals a new line byte for byte. It is asked
// only where that is likely, without -b, -w or -i (under which unequal lines
// may agree), and when the first lines and the last lines of the two files
// hash apart. Reads both files again by old_path and new_path; uses the
// view_pos field of the tables, which pruning sets afterwards.
bool files_share_no_line(const line_rules& rules, const char* old_path, const char* new_path,
                         line_tables& tables);

#endif  // OVARN_ENGINE_DISJOINT_FILES_H_
