// The result of the line matching: for every old line, the new line it is
// paired with.
#ifndef OVARN_ENGINE_MATCH_VECTOR_H_
#define OVARN_ENGINE_MATCH_VECTOR_H_

#include <cstdint>

// Elements 0 .. line_count[0] + 1. Element i (1 <= i <= line_count[0]) is the
// new line paired with old line i, or 0. The non-zero elements rise strictly.
// Element line_count[0] + 1 is left for the change walk to set.
extern int32_t* match_vector;

#endif  // OVARN_ENGINE_MATCH_VECTOR_H_
