// The context listing (-c): changes gathered into groups that are printed
// with unchanged lines around them.
#ifndef OVARN_OUTPUT_CONTEXT_LISTING_H_
#define OVARN_OUTPUT_CONTEXT_LISTING_H_

#include <cstdint>

#include "engine/match_result.h"
#include "output/copy_out_lines.h"
#include "output/print_request.h"

// One change: old lines a..b replaced by new lines c..d.
struct change_range {
  int32_t a, b, c, d;
};

// At most this many changes wait in one group.
constexpr int32_t kMostPendingChanges = 128;

// The group being gathered.
struct context_listing {
  change_range pending_changes[kMostPendingChanges];
  int32_t context_count = 0;  // changes pending, not lines (context_lines counts those)
};

// Prints the two file-name lines with modification times and starts an empty
// group.
void context_header(const print_request& request, context_listing& listing);

// Adds a change to the pending group, printing the group first when the
// change may not join it.
void record_change(line_output& out, const match_result& result, context_listing& listing,
                   const change_range& change);

// Prints the pending group, if any, and empties it.
void flush_context(line_output& out, const match_result& result, context_listing& listing);

#endif  // OVARN_OUTPUT_CONTEXT_LISTING_H_
