// The byte kernels of the engine: each in its vector forms and its portable
// form, side by side. All forms of a kernel give the same results; the
// vector forms run only where cpu_has says the processor has them.
#ifndef OVARN_PORT_KERNELS_H_
#define OVARN_PORT_KERNELS_H_

#include <cstddef>
#include <cstdint>

// Bytes that must be readable after the end of a buffer handed to
// hash_whole_lines: the vector forms load whole registers.
constexpr size_t kKernelPadding = 64;

// The line hash's 64-bit sum folded into the hash, twice 16 bits onto 16.
inline int32_t fold_line_sum(uint64_t sum) {
  uint64_t t = (sum >> 16) + (sum & 0xFFFF);
  return static_cast<int32_t>(static_cast<uint32_t>((t >> 16) + (t & 0xFFFF)));
}

// The shift of each byte of a run of 16 counted bytes that starts at shift 0:
// the shift cycles through 16 positions, 7 apart. The one schedule of every
// form; the vector forms load it as 32-bit lanes.
alignas(64) inline constexpr uint32_t kLineRunShifts[16] = {0, 7, 14, 5, 12, 3, 10, 1,
                                                             8, 15, 6, 13, 4, 11, 2, 9};

// The forms in which whole lines are hashed under no option, the fastest
// first: with 512-bit vectors, with 256-bit vectors, byte by byte.
enum class hash_form { wide_vector, vector, plain };

// Whether this processor runs form; plain always.
bool hash_form_available(hash_form form);
// The fastest form this processor runs.
hash_form best_hash_form();

// Hashes, under no option, every line that ends in [p, end), p being the
// start of a line: the hash of the n-th goes to keys[n * stride]. Returns
// the number of lines and sets *rest to the byte after the last newline.
// kKernelPadding bytes after end must be readable. form must be available.
int32_t hash_whole_lines(hash_form form, const unsigned char* p, const unsigned char* end,
                         int32_t* keys, size_t stride, const unsigned char** rest);

// The offsets just past the next newlines in [p, end), at most most of
// them, written to offsets[0..]: base is the file offset of p. Returns how
// many were found; a form may stop early where the buffer runs short, and
// the caller reads on from the last line end found.
int32_t find_line_ends(const unsigned char* p, const unsigned char* end, int32_t most,
                       int64_t base, int64_t* offsets);

// One side of pass_equal_lines: the buffer from the start of its current
// line, the buffer's end, the file offset of start, and where the offsets
// of its lines go.
struct line_run {
  const unsigned char* start;
  const unsigned char* end;
  int64_t base;
  int64_t* offsets;
};

// Pairs of lines that agree byte for byte, the first line of old with the
// first of new, and so on while pairs[k] == first_new + k (pairs[0] is known
// to be first_new), at most most pairs. Stops before the first pair that
// differs, or where either buffer runs short, always at the start of a
// line; sets the offsets of the pairs passed and returns their number.
int32_t pass_equal_lines(const line_run& old_run, const line_run& new_run, const int32_t* pairs,
                         int32_t first_new, int32_t most);

// How many of the 16 values from first lie below y; the values rise, so it
// is where y belongs among them.
int32_t count_below_16(const int32_t* first, int32_t y);

// One row of bits from the one before, as one sum over words rows long:
// to = (from + (from & match)) | (from & ~match), the carry taken from each
// word into the next and the last one's dropped. to may be from.
void next_bit_row(const uint64_t* from, const uint64_t* match, uint64_t* to, int32_t words);

// A second hash of a line's bytes, independent of the line hash: CRC-32C
// where the processor computes it, else FNV-1a. One process uses one of
// them throughout. Start from line_print_start(), feed the bytes in any
// number of pieces.
uint32_t line_print_start();
uint32_t line_print(uint32_t value, const unsigned char* p, const unsigned char* end);

#endif  // OVARN_PORT_KERNELS_H_
