// The walk over match_vector that finds each change, and the edit formats.
#ifndef OVARN_OUTPUT_CHANGE_WALK_H_
#define OVARN_OUTPUT_CHANGE_WALK_H_

#include "engine/match_result.h"
#include "output/print_request.h"

// Prints every change of the compared pair in request.output_format, reading
// the lines again from request.path1 and request.path2; returns whether a
// change was reported (changes_found). Rewrites result.match_vector as it
// walks.
bool emit_changes(match_result& result, const print_request& request);

#endif  // OVARN_OUTPUT_CHANGE_WALK_H_
