// The portable twins of the kernels whose vector form is chosen inside the
// kernel (by the processor probe, or by the build for count_below_16): a
// test seam, so that one build holds each vector form against its twin. The
// programs call the kernels of port/kernels.h.
#ifndef OVARN_PORT_KERNEL_TWINS_H_
#define OVARN_PORT_KERNEL_TWINS_H_

#include <cstdint>

#include "port/kernels.h"

// As find_line_ends, memchr line by line; never stops early.
int32_t find_line_ends_plain(const unsigned char* p, const unsigned char* end, int32_t most,
                             int64_t base, int64_t* offsets);
// As pass_equal_lines, line by line; stops early only where a buffer ends
// inside a line.
int32_t pass_equal_lines_plain(const line_run& old_run, const line_run& new_run,
                               const int32_t* pairs, int32_t first_new, int32_t most);
// As count_below_16, one value at a time.
int32_t count_below_16_plain(const int32_t* first, int32_t y);

#endif  // OVARN_PORT_KERNEL_TWINS_H_
