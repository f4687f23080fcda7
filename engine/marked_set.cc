#include "engine/marked_set.h"

marked_set make_marked_set(uint32_t size) {
  const uint64_t word_count = static_cast<uint64_t>(size) / 64 + 1;
  return marked_set{zeroed_table<uint64_t>(word_count),
                    zeroed_table<uint64_t>(word_count / 64 + 1)};
}

int32_t next_unmarked_after(const marked_set& set, int32_t x, int32_t end) {
  while (x < end) {
    uint64_t open = ~set.words[x >> 6] >> (x & 63);
    if (open != 0) {
      int32_t found = x + __builtin_ctzll(open);
      return found < end ? found : end;
    }
    // The rest of this word is marked: go on at the next word that is not
    // full, 64 words at a time.
    int64_t w = (x >> 6) + 1;
    for (;;) {
      if (w * 64 >= end) return end;
      uint64_t not_full = ~set.full_words[w >> 6] >> (w & 63);
      if (not_full != 0) {
        w += __builtin_ctzll(not_full);
        break;
      }
      w = ((w >> 6) + 1) * 64;
    }
    x = static_cast<int32_t>(w * 64);
  }
  return end;
}
