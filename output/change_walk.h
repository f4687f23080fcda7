// The walk over match_vector that finds each change, and the edit formats.
#ifndef OVARN_OUTPUT_CHANGE_WALK_H_
#define OVARN_OUTPUT_CHANGE_WALK_H_

#include <cstdint>

// Prints every change of the compared pair in options.output_format and sets
// state.changes_found when one is reported.
void emit_changes();

// Prints one change: old lines a..b replaced by new lines c..d.
void report_change(int32_t a, int32_t b, int32_t c, int32_t d);

// Prints a range of line numbers: the smaller bound, then separator and last
// when first < last.
void print_range(int32_t first, int32_t last, const char* separator);

#endif  // OVARN_OUTPUT_CHANGE_WALK_H_
