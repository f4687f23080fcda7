#include "engine/class_ranges.h"

#include <bit>

class_ranges make_class_ranges(const int32_t* class_list, int32_t new_count) {
  // Elements 0..new_count + 1, the terminator counted as a start.
  const uint64_t elements = static_cast<uint64_t>(new_count) + 2;
  const uint64_t words = elements / 64 + 1;
  class_ranges ranges;
  ranges.starts = zeroed_table<uint64_t>(words);
  uint64_t start_count = 1;
  for (int32_t x = 1; x <= new_count; ++x) {
    if (class_list[x] < 0) {
      ranges.starts[x >> 6] |= uint64_t{1} << (x & 63);
      ++start_count;
    }
  }
  const int32_t end = new_count + 1;
  ranges.starts[end >> 6] |= uint64_t{1} << (end & 63);

  ranges.starts_before = table<uint32_t>(words);
  ranges.start_of_rank = table<int32_t>(start_count);
  ranges.count = static_cast<int32_t>(start_count - 1);
  uint32_t rank = 0;
  for (uint64_t w = 0; w < words; ++w) {
    ranges.starts_before[w] = rank;
    for (uint64_t bits = ranges.starts[w]; bits != 0; bits &= bits - 1)
      ranges.start_of_rank[rank++] = static_cast<int32_t>(w * 64 + __builtin_ctzll(bits));
  }
  return ranges;
}

int32_t class_end(const class_ranges& ranges, int32_t start) {
  // The class ends where the next one begins. Most classes are short, and
  // the next start then lies in this word of the bits or the next one.
  const int32_t w = start >> 6;
  const uint64_t later = ranges.starts[w] & ~((uint64_t{2} << (start & 63)) - 1);
  if (later != 0) return w * 64 + __builtin_ctzll(later);
  if (ranges.starts[w + 1] != 0) return (w + 1) * 64 + __builtin_ctzll(ranges.starts[w + 1]);
  return ranges.start_of_rank[class_rank(ranges, start) + 1];
}

int32_t class_rank(const class_ranges& ranges, int32_t start) {
  // The number of starts before this one.
  const uint64_t earlier = ranges.starts[start >> 6] & ((uint64_t{1} << (start & 63)) - 1);
  return static_cast<int32_t>(ranges.starts_before[start >> 6] + std::popcount(earlier));
}
