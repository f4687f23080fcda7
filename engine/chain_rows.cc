#include "engine/chain_rows.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

#include "base/table.h"
#include "engine/class_ranges.h"
#include "port/kernels.h"

namespace {

// The bits of each class of this many lines or more are set once, in at
// most 16 MiB; those of smaller classes are set for each row and cleared.
constexpr int32_t kLargeClass = 64;
constexpr uint64_t kMostClassMemory = uint64_t{1} << 21;

// Row words: bit j - 1 stands for new line j.
int32_t words_per_row(int32_t new_count) { return new_count / 64 + 1; }

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
// below it by one carry, or a rise is gained at the top. Carries run up
// only, so the first words words of a row follow from those of the row
// before alone.
void advance_row(class_bits& bits, const int32_t* old_classes, int32_t i, const uint64_t* from,
                 uint64_t* to, int32_t words) {
  const int32_t start = old_classes[i];
  if (start == 0) {  // a line no new line matches leaves the row as it was
    if (from != to) memcpy(to, from, static_cast<size_t>(words) * sizeof(uint64_t));
    return;
  }
  const int32_t end = class_end(bits.ranges, start);
  const int32_t large = large_index(bits, start, end);
  if (large >= 0) {
    next_bit_row(from, bits.large.data() + static_cast<uint64_t>(large) * bits.words, to, words);
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

// The rises of row at bits 0..p.
int32_t rises_up_to(const uint64_t* row, int32_t p) {
  int32_t rises = 0;
  for (int32_t w = 0; w <= p >> 6 && p >= 0; ++w)
    rises += std::popcount(~row[w] & (w == p >> 6 ? bits_up_to(p) : ~uint64_t{0}));
  return rises;
}

// Rows kept at every level for the way back; see row_levels. Level 0 holds
// rows 0, step[0], 2 step[0], ... in full; level l the rows first[l],
// first[l] + step[l], ... of one block of step[l - 1] rows, as far as they
// were needed: as the chain is read back its new line only falls, and the
// first words of a row follow from the first words of the rows before.
struct row_store {
  class_bits& bits;
  const int32_t* old_classes;
  int32_t old_count;
  row_levels levels;
  // The rows of every level in one table, so that they take one mapping,
  // and after them the row not kept while a block is recomputed.
  table<uint64_t> rows;
  uint64_t* kept[kMostRowLevels];
  int32_t first[kMostRowLevels];  // the block held at each level from 1, or -1
  uint64_t* scratch;
};

uint64_t row_offset(const class_bits& bits, int64_t index) {
  return static_cast<uint64_t>(index) * static_cast<uint64_t>(bits.words);
}

// Level l's rows from row first on, from that row in from, each of its
// first words words.
void recompute_block(row_store& store, int32_t l, int32_t first, const uint64_t* from,
                     int32_t words) {
  const int32_t step = store.levels.step[l];
  const int32_t last = std::min<int64_t>(int64_t{first} + store.levels.step[l - 1] - 1,
                                         store.old_count);
  uint64_t* level = store.kept[l];
  memcpy(level, from, static_cast<size_t>(words) * sizeof(uint64_t));
  for (int32_t r = first + 1; r <= last; ++r) {
    uint64_t* to = (r - first) % step == 0 ? level + row_offset(store.bits, (r - first) / step)
                                           : store.scratch;
    advance_row(store.bits, store.old_classes, r, from, to, words);
    from = to;
  }
  store.first[l] = first;
}

// Row r, good in its first words words: no later call asks for a later row
// or more words.
const uint64_t* row_at(row_store& store, int32_t r, int32_t words) {
  const row_levels& levels = store.levels;
  const uint64_t* row = store.kept[0] + row_offset(store.bits, r / levels.step[0]);
  for (int32_t l = 1; l < levels.count; ++l) {
    const int32_t first = r - r % levels.step[l - 1];
    if (store.first[l] != first) recompute_block(store, l, first, row, words);
    row = store.kept[l] + row_offset(store.bits, (r - first) / levels.step[l]);
  }
  return row;
}

// The forward pass: rows 1..old_count from row 0, which has no rise, level
// 0's rows kept; returns the last row.
table<uint64_t> forward_rows(row_store& store) {
  const int32_t words = store.bits.words;
  const uint64_t row_size = static_cast<uint64_t>(words);
  const int32_t step = store.levels.step[0];
  table<uint64_t> row(row_size);
  memset(row.data(), 0xff, row_size * sizeof(uint64_t));
  memcpy(store.kept[0], row.data(), row_size * sizeof(uint64_t));
  for (int32_t i = 1; i <= store.old_count; ++i) {
    advance_row(store.bits, store.old_classes, i, row.data(), row.data(), words);
    if (i % step == 0)
      memcpy(store.kept[0] + row_offset(store.bits, i / step), row.data(),
             row_size * sizeof(uint64_t));
  }
  return row;
}

// The rows each level holds at most.
int32_t level_rows(const row_levels& levels, int32_t old_count, int32_t l) {
  return l == 0 ? old_count / levels.step[0] + 1 : levels.step[l - 1] / levels.step[l];
}

row_store open_row_store(class_bits& bits, const int32_t* old_classes, int32_t old_count,
                         const row_levels& levels) {
  row_store store{bits, old_classes, old_count, levels, {}, {}, {}, nullptr};
  int64_t rows = 1;
  for (int32_t l = 0; l < levels.count; ++l) rows += level_rows(levels, old_count, l);
  store.rows = table<uint64_t>(row_offset(bits, rows));
  int64_t at = 0;
  for (int32_t l = 0; l < levels.count; ++l) {
    store.kept[l] = store.rows.data() + row_offset(bits, at);
    store.first[l] = -1;
    at += level_rows(levels, old_count, l);
  }
  store.scratch = store.rows.data() + row_offset(bits, at);
  return store;
}

}  // namespace

row_levels row_levels_by_factor(int32_t old_count, int32_t factor) {
  row_levels levels;
  int64_t span = factor;
  int32_t count = 1;
  while (span <= old_count && count < kMostRowLevels) {
    span *= factor;
    ++count;
  }
  // Levels 0..count - 1 with steps factor^(count - 1), ..., factor, 1;
  // level 0 then holds at most factor rows, or more at the most levels.
  levels.count = count;
  int64_t step = 1;
  for (int32_t l = count - 1; l >= 0; --l) {
    levels.step[l] = static_cast<int32_t>(std::min<int64_t>(step, INT32_MAX));
    step *= factor;
  }
  return levels;
}

uint64_t row_level_memory(const row_levels& levels, int32_t old_count, int32_t new_count) {
  uint64_t rows = 1;  // the row not kept, while a block is recomputed
  for (int32_t l = 0; l < levels.count; ++l)
    rows += static_cast<uint64_t>(level_rows(levels, old_count, l));
  return rows * static_cast<uint64_t>(words_per_row(new_count)) * sizeof(uint64_t);
}

namespace {

// factor^count, or more than INT32_MAX.
int64_t capped_power(int64_t factor, int32_t count) {
  int64_t power = 1;
  for (int32_t c = 0; c < count && power <= INT32_MAX; ++c) power *= factor;
  return power;
}

}  // namespace

row_levels choose_row_levels(int32_t old_count, int32_t new_count, uint64_t memory) {
  for (int32_t count = 1; count <= kMostRowLevels; ++count) {
    // The least factor whose count-th power exceeds old_count, so that
    // count levels reach every row.
    int64_t factor = std::max<int64_t>(
        2, static_cast<int64_t>(std::pow(static_cast<double>(old_count), 1.0 / count)) - 1);
    while (capped_power(factor, count) <= old_count) ++factor;
    const row_levels levels = row_levels_by_factor(old_count, static_cast<int32_t>(factor));
    if (levels.count <= count && row_level_memory(levels, old_count, new_count) <= memory)
      return levels;
  }
  return row_levels{};
}

uint64_t row_word_steps(const row_levels& levels, int32_t old_count, int32_t new_count) {
  return static_cast<uint64_t>(levels.count) * static_cast<uint64_t>(old_count) *
         static_cast<uint64_t>(words_per_row(new_count));
}

int32_t prefix_chain_length(const int32_t* old_classes, int32_t old_lines,
                            const int32_t* class_list, int32_t new_count, int32_t new_lines) {
  if (old_lines == 0 || new_lines == 0) return 0;
  class_bits bits = make_class_bits(class_list, new_count);
  const int32_t words = (new_lines - 1) / 64 + 1;
  table<uint64_t> row(static_cast<uint64_t>(words));
  memset(row.data(), 0xff, static_cast<size_t>(words) * sizeof(uint64_t));
  for (int32_t i = 1; i <= old_lines; ++i)
    advance_row(bits, old_classes, i, row.data(), row.data(), words);
  return rises_up_to(row.data(), new_lines - 1);
}

int32_t find_chain_by_rows(candidate_search& search, const int32_t* old_classes,
                           int32_t old_count, const int32_t* class_list, int32_t new_count,
                           const row_levels& levels) {
  class_bits bits = make_class_bits(class_list, new_count);
  row_store store = open_row_store(bits, old_classes, old_count, levels);
  table<uint64_t> row = forward_rows(store);
  const int32_t top = last_rise_up_to(row.data(), new_count - 1);
  const int32_t k = rises_up_to(row.data(), top);
  row.reset();

  search.chain_ends[0] = add_candidate(search, 0, 0, 0);
  search.chain_ends[k] = k;
  if (k == 0) return 0;
  // The chain is found from its end; the records go in from its start.
  table<int32_t> chain_old(static_cast<uint64_t>(k) + 1);
  table<int32_t> chain_new(static_cast<uint64_t>(k) + 1);
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
      z = last_rise_up_to(row_at(store, i - 1, (p >> 6) + 1), p);
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
