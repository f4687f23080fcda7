// How every format writes a range of line numbers.
#ifndef OVARN_OUTPUT_PRINT_RANGE_H_
#define OVARN_OUTPUT_PRINT_RANGE_H_

#include <cstdint>

// Prints the smaller of first and last, then separator and last when
// first < last: an empty range prints its upper bound.
void print_range(int32_t first, int32_t last, const char* separator);

#endif  // OVARN_OUTPUT_PRINT_RANGE_H_
