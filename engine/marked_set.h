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

void mark(marked_set& set, int32_t x);
void unmark(marked_set& set, int32_t x);
bool is_marked(const marked_set& set, int32_t x);

// The first index in [x, end) that is not in the set, or end.
int32_t next_unmarked(const marked_set& set, int32_t x, int32_t end);

#endif  // OVARN_ENGINE_MARKED_SET_H_
