#include "engine/chain_rows.h"

#include <algorithm>
#include <bit>
#include <cstring>

#include "base/table.h"
#include "engine/class_ranges.h"
#include "port/kernels.h"

namespace {

// The rows kept at once take at most 32 MiB, and one pass over the rows at
// most 2^32 word steps, some seconds: they are taken only where the search
// by chain ends proves slower still.
constexpr uint64_t kMostRowMemory = uint64_t{1} << 22;
constexpr uint64_t kMostRowSteps = uint64_t{1} << 32;
// The bits of each class of this many lines or more are set once, in at
// most 16 MiB; those of smaller classes are set for each row and cleared.
constexpr int32_t kLargeClass = 64;
constexpr uint64_t kMostClassMemory = uint64_t{1} << 21;
// A step of the search by chain ends costs about as much as this many row
// word steps.
constexpr uint64_t kWordsPerStep = 16;

// Row words: bit j - 1 stands for new line j.
int32_t words_per_row(int32_t new_count) { return new_count / 64 + 1; }

// Rows kept every so many, about the square root of the rows, so that the
// kept rows and a block recomputed from one take about the same memory.
int32_t rows_per_block(int32_t old_count) {
  int32_t block = 1;
  while (int64_t{block} * block < old_count) ++block;
  return block;
}

// The new lines of each class as row bits.
struct class_bits {
  const int32_t* class_list;
  class_ranges ranges;
  int32_t words;
  // Per 64 class_list elements: the large class that starts among them (no
  // two can), as an index into large, or -1.
  table<int32_t> large_at;
  table<uint64_t> large;
  table<uint64_t> scratch;  // a smaller class's bits, for one row
};

void set_class_bits(const int32_t* class_list, int32_t start, int32_t end, uint64_t* bits) {
  for (int32_t x = start; x < end; ++x) {
    const int32_t j = (x == start ? -class_list[x] : class_list[x]) - 1;
    bits[j >> 6] |= uint64_t{1} << (j & 63);
  }
}

void clear_class_bits(const int32_t* class_list, int32_t start, int32_t end, uint64_t* bits) {
  for (int32_t x = start; x < end; ++x) {
    const int32_t j = (x == start ? -class_list[x] : class_list[x]) - 1;
    bits[j >> 6] = 0;
  }
}

class_bits make_class_bits(const int32_t* class_list, int32_t new_count) {
  class_bits bits;
  bits.class_list = class_list;
  bits.ranges = make_class_ranges(class_list, new_count);
  bits.words = words_per_row(new_count);
  const uint64_t words = static_cast<uint64_t>(bits.words);
  bits.scratch = table<uint64_t>(words);
  memset(bits.scratch.data(), 0, words * sizeof(uint64_t));
  bits.large_at = table<int32_t>(static_cast<uint64_t>(new_count) / 64 + 2);
  for (int32_t g = 0; g <= new_count / 64 + 1; ++g) bits.large_at[g] = -1;
  uint64_t large_count = 0;
  for (int32_t start = 1; start <= new_count; start = class_end(bits.ranges, start))
    if (class_end(bits.ranges, start) - start >= kLargeClass) ++large_count;
  if (large_count == 0 || large_count * words > kMostClassMemory) return bits;
  bits.large = table<uint64_t>(large_count * words);
  memset(bits.large.data(), 0, large_count * words * sizeof(uint64_t));
  int32_t index = 0;
  for (int32_t start = 1, end; start <= new_count; start = end) {
    end = class_end(bits.ranges, start);
    if (end - start < kLargeClass) continue;
    bits.large_at[start >> 6] = index;
    set_class_bits(class_list, start, end, bits.large.data() + index * words);
    ++index;
  }
  return bits;
}

// The index in bits.large of the class from start to end, or -1 where its
// bits are not set once.
int32_t large_index(const class_bits& bits, int32_t start, int32_t end) {
  return end - start >= kLargeClass ? bits.large_at[start >> 6] : -1;
}

// Row i into to, from row i - 1 in from; they may be the same. A row's bits
// are clear at its rises: the matching lines where the length has not yet
// risen are added in, so that each rise moves down to the lowest of them
// below it by one carry, or a rise is gained at the top.
void advance_row(class_bits& bits, const int32_t* old_classes, int32_t i, const uint64_t* from,
                 uint64_t* to) {
  const int32_t words = bits.words;
  const int32_t start = old_classes[i];
  if (start == 0) {  // a line no new line matches leaves the row as it was
    if (from != to) memcpy(to, from, static_cast<size_t>(words) * sizeof(uint64_t));
    return;
  }
  const int32_t end = class_end(bits.ranges, start);
  const int32_t large = large_index(bits, start, end);
  if (large >= 0) {
    next_bit_row(from, bits.large.data() + static_cast<uint64_t>(large) * words, to, words);
    return;
  }
  set_class_bits(bits.class_list, start, end, bits.scratch.data());
  next_bit_row(from, bits.scratch.data(), to, words);
  clear_class_bits(bits.class_list, start, end, bits.scratch.data());
}

// The bits up to and including bit p.
uint64_t bits_up_to(int32_t p) { return (uint64_t{2} << (p & 63)) - 1; }

// Whether old line i's class has a new line at a bit in (low, high].
bool class_matches_between(const class_bits& bits, const int32_t* old_classes, int32_t i,
                           int32_t low, int32_t high) {
  const int32_t start = old_classes[i];
  if (start == 0 || high <= low) return false;
  const int32_t end = class_end(bits.ranges, start);
  const int32_t large = large_index(bits, start, end);
  if (large < 0) {
    // The class's lines rise, the first negated: is the first beyond low
    // at or below high?
    const int32_t* list = bits.class_list;
    int32_t first = -list[start] - 1;
    if (first <= low) {
      const int32_t* beyond = std::upper_bound(list + start + 1, list + end, low + 1);
      if (beyond == list + end) return false;
      first = *beyond - 1;
    }
    return first <= high;
  }
  const uint64_t* match = bits.large.data() + static_cast<uint64_t>(large) * bits.words;
  const int32_t first_word = (low + 1) >> 6;
  for (int32_t w = high >> 6; w >= first_word; --w) {
    uint64_t word = match[w];
    if (w == high >> 6) word &= bits_up_to(high);
    if (w == first_word && ((low + 1) & 63) != 0) word &= ~bits_up_to(low);
    if (word != 0) return true;
  }
  return false;
}

// The highest rise of row at a bit at or below p, or -1.
int32_t last_rise_up_to(const uint64_t* row, int32_t p) {
  if (p < 0) return -1;
  uint64_t rises = ~row[p >> 6] & bits_up_to(p);
  for (int32_t w = p >> 6;;) {
    if (rises != 0) return w * 64 + std::bit_width(rises) - 1;
    if (--w < 0) return -1;
    rises = ~row[w];
  }
}

}  // namespace

uint64_t chain_rows_cost(int32_t old_count, int32_t new_count) {
  const uint64_t words = static_cast<uint64_t>(words_per_row(new_count));
  const uint64_t rows = static_cast<uint64_t>(old_count);
  const uint64_t block = static_cast<uint64_t>(rows_per_block(old_count));
  if (rows * words > kMostRowSteps || (rows / block + 1 + block) * words > kMostRowMemory)
    return 0;
  return 2 * rows * words;
}

int32_t find_chain_by_rows(candidate_search& search, const int32_t* old_classes,
                           int32_t old_count, const int32_t* class_list, int32_t new_count) {
  class_bits bits = make_class_bits(class_list, new_count);
  const int32_t words = bits.words;
  const uint64_t row_size = static_cast<uint64_t>(words);
  const int32_t block = rows_per_block(old_count);

  // Forward, keeping rows 0, block, 2 block, ...; row 0 has no rise.
  table<uint64_t> kept((static_cast<uint64_t>(old_count) / block + 1) * row_size);
  table<uint64_t> row(row_size);
  memset(row.data(), 0xff, row_size * sizeof(uint64_t));
  memcpy(kept.data(), row.data(), row_size * sizeof(uint64_t));
  for (int32_t i = 1; i <= old_count; ++i) {
    advance_row(bits, old_classes, i, row.data(), row.data());
    if (i % block == 0)
      memcpy(&kept[i / block * row_size], row.data(), row_size * sizeof(uint64_t));
  }
  const int32_t top = last_rise_up_to(row.data(), new_count - 1);
  int32_t k = 0;
  for (int32_t w = 0; w <= top >> 6 && top >= 0; ++w)
    k += std::popcount(~row[w] & (w == top >> 6 ? bits_up_to(top) : ~uint64_t{0}));
  row.reset();

  search.chain_ends[0] = add_candidate(search, 0, 0, 0);
  search.chain_ends[k] = k;
  if (k == 0) return 0;
  // The chain is found from its end; the records go in from its start.
  table<int32_t> chain_old(static_cast<uint64_t>(k) + 1);
  table<int32_t> chain_new(static_cast<uint64_t>(k) + 1);

  // Back from the last row, the rows between kept ones recomputed a block at
  // a time. The row before a kept one lies in the block before; the kept
  // row stays where it is while that block is recomputed.
  table<uint64_t> rows(static_cast<uint64_t>(block) * row_size);
  int32_t held = -1;  // the block in rows
  auto row_at = [&](int32_t i) -> const uint64_t* {
    const int32_t b = i / block;
    if (i % block == 0) return &kept[b * row_size];
    if (b != held) {
      const uint64_t* from = &kept[b * row_size];
      for (int32_t r = 1; r < block && b * block + r <= old_count; ++r) {
        uint64_t* to = &rows[(r - 1) * row_size];
        advance_row(bits, old_classes, b * block + r, from, to);
        from = to;
      }
      held = b;
    }
    return &rows[(i % block - 1) * row_size];
  };
  // Level s ends after old line i at new line p + 1, the row's s-th rise.
  // Its record was made at the first old line whose row has as many rises
  // up to there, and the record before it is level s - 1's end after the
  // line before that: the last rise below p in that line's row.
  //
  // Row i has one rise more than row i - 1 up to bit p where a carry leaves
  // bit p in the step from one to the other: where row i - 1 has no rise
  // from its last one at or below p (at bit z) up to p, and line i matches
  // some new line in between, the lowest of which gains a rise that the
  // carry takes from above p.
  int32_t i = old_count;
  int32_t p = top;
  for (int32_t s = k; s >= 1; --s) {
    int32_t z = -1;  // the last rise of row i - 1 at or below p
    for (; i > 1; --i) {
      z = last_rise_up_to(row_at(i - 1), p);
      if (class_matches_between(bits, old_classes, i, z, p)) break;
    }
    chain_old[s] = i;
    chain_new[s] = p + 1;
    if (s > 1) {
      // Row i - 1 has no rise at p, as it has one less up to there.
      p = i > 1 ? z : -1;
      --i;
    }
  }
  for (int32_t s = 1; s <= k; ++s) add_candidate(search, chain_old[s], chain_new[s], s - 1);
  return k;
}

int32_t find_longest_chain(candidate_search& search, int32_t* old_classes, int32_t old_count,
                           const int32_t* class_list, int32_t new_count, int32_t band) {
  // A band leaves pairs out only where a view is longer; a search in one
  // leaves old_classes as they were.
  if (std::max(old_count, new_count) > band) {
    const int32_t k = find_candidates_within(search, old_classes, old_count, class_list,
                                             new_count, UINT64_MAX, band);
    if (k >= 0) return k;
    start_candidate_search(search, old_count);
  }
  const uint64_t row_steps = chain_rows_cost(old_count, new_count);
  if (row_steps == 0) return find_candidates(search, old_classes, old_count, class_list, new_count);
  // The search by chain ends keeps its books in old_classes.
  const uint64_t elements = static_cast<uint64_t>(old_count) + 1;
  table<int32_t> classes(elements);
  memcpy(classes.data(), old_classes, elements * sizeof(int32_t));
  const int32_t k = find_candidates_within(search, old_classes, old_count, class_list, new_count,
                                           row_steps / kWordsPerStep, 0);
  if (k >= 0) return k;
  start_candidate_search(search, old_count);
  return find_chain_by_rows(search, classes.data(), old_count, class_list, new_count);
}
