// A set of small non-negative indices with a quick search for the next index
// that is not in it: a bit per index, and a bit per 64 indices that says all
// of them are in.
#ifndef OVARN_ENGINE_MARKED_SET_H_
#define OVARN_ENGINE_MARKED_SET_H_

#include <cstdint>

#include "base/table.h"

struct marked_set {
  table<uint64_t> words;       // bit x: index x is in the set
  table<uint64_t> full_words;  // bit w: all 64 indices of words[w] are in
};

// An empty set for indices 0..size - 1.
marked_set make_marked_set(uint32_t size);

// These run once or more for every record the candidate search makes, so
// they are inline; next_unmarked looks at the word of x here and leaves a
// longer search to next_unmarked_after.
inline void mark(marked_set& set, int32_t x) {
  uint64_t& word = set.words[x >> 6];
  word |= uint64_t{1} << (x & 63);
  if (word == ~uint64_t{0}) set.full_words[x >> 12] |= uint64_t{1} << ((x >> 6) & 63);
}

inline void unmark(marked_set& set, int32_t x) {
  set.words[x >> 6] &= ~(uint64_t{1} << (x & 63));
  set.full_words[x >> 12] &= ~(uint64_t{1} << ((x >> 6) & 63));
}

// The first index in [x, end) that is not in the set, or end, where the
// rest of the word of x is all in the set.
int32_t next_unmarked_after(const marked_set& set, int32_t x, int32_t end);

// The first index in [x, end) that is not in the set, or end.
inline int32_t next_unmarked(const marked_set& set, int32_t x, int32_t end) {
  if (x >= end) return end;
  uint64_t open = ~set.words[x >> 6] >> (x & 63);
  if (open != 0) {
    int32_t found = x + __builtin_ctzll(open);
    return found < end ? found : end;
  }
  return next_unmarked_after(set, x, end);
}

#endif  // OVARN_ENGINE_MARKED_SET_H_
