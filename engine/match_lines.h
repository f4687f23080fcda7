// The line matching of a file pair, from the loaded line tables to a verified
// match vector.
#ifndef OVARN_ENGINE_MATCH_LINES_H_
#define OVARN_ENGINE_MATCH_LINES_H_

// Runs, each step complete before the next: trim_common_ends, sort_line_view
// of both views, build_equivalence, restore_line_order (or, on large views,
// count_line_classes in place of the four), the candidate search,
// build_match_vector, and verify_matches against the files state.path1 and
// state.path2. Needs both line tables loaded; leaves match_vector,
// old_offsets and new_offsets for the change output.
void match_lines();

#endif  // OVARN_ENGINE_MATCH_LINES_H_
