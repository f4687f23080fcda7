// The context listing (-c): changes gathered into groups that are printed
// with unchanged lines around them.
#ifndef OVARN_OUTPUT_CONTEXT_LISTING_H_
#define OVARN_OUTPUT_CONTEXT_LISTING_H_

#include <cstdint>

// One change: old lines a..b replaced by new lines c..d.
struct change_range {
  int32_t a, b, c, d;
};

// At most this many changes wait in one group.
constexpr int32_t max_pending_changes = 128;

extern change_range pending_changes[max_pending_changes];
extern int32_t context_count;

int32_t min_int(int32_t x, int32_t y);
int32_t max_int(int32_t x, int32_t y);

// Prints the two file-name lines with modification times and starts an empty
// group.
void context_header();

// Adds a change to the pending group, printing the group first when the
// change may not join it.
void record_change(int32_t a, int32_t b, int32_t c, int32_t d);

// Prints the pending group, if any, and empties it.
void flush_context();

#endif  // OVARN_OUTPUT_CONTEXT_LISTING_H_
