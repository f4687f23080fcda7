#include "engine/chain_rows.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <vector>

#include "base/table.h"
#include "engine/class_ranges.h"
#include "port/kernels.h"

namespace {

// The bits of the classes with this many lines or more in a row's words
// are set once, those with the most first, in at most 16 MiB; those of the
// other classes are set for each row and cleared.
constexpr int32_t kLargeClass = 64;
constexpr uint64_t kMostClassMemory = uint64_t{1} << 21;

// Row words: bit j - 1 stands for new line j.
int32_t words_per_row(int32_t new_count) { return new_count / 64 + 1; }

// The new lines of each class as row bits, those the rows read: the first
// words * 64 of them.
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

// The class_list indices [from, to) of lines of the class that starts at
// start; a class start is negated.
struct member_span {
  int32_t from;
  int32_t to;
};

void set_class_bits(const int32_t* class_list, int32_t start, member_span span, uint64_t* bits) {
  for (int32_t x = span.from; x < span.to; ++x) {
    const int32_t j = (x == start ? -class_list[x] : class_list[x]) - 1;
    bits[j >> 6] |= uint64_t{1} << (j & 63);
  }
}

void clear_class_bits(const int32_t* class_list, int32_t start, member_span span, uint64_t* bits) {
  for (int32_t x = span.from; x < span.to; ++x) {
    const int32_t j = (x == start ? -class_list[x] : class_list[x]) - 1;
    bits[j >> 6] = 0;
  }
}

// The lines of the class from start to end that fall in words first ..
// first + words - 1 of a row: a row reads no bit beyond them, and a class
// may have far more lines outside a band, or beyond the first lines, than
// in them. The class's lines rise, so two binary searches find them.
member_span lines_in_words(const int32_t* class_list, int32_t start, int32_t end, int32_t first,
                           int32_t words) {
  const int32_t low = 64 * first + 1;  // lines from here
  const auto high = static_cast<int32_t>(
      std::min<int64_t>(int64_t{64} * (int64_t{first} + words), INT32_MAX));  // up to here
  const int32_t* list = class_list;
  member_span span{start, start};
  if (-list[start] < low)
    span.from = static_cast<int32_t>(std::lower_bound(list + start + 1, list + end, low) - list);
  else if (-list[start] > high)
    return span;
  const int32_t* rest = list + std::max(span.from, start + 1);
  span.to = static_cast<int32_t>(std::upper_bound(rest, list + end, high) - list);
  return span;
}

// A class whose bits are set once: its start, and its lines in the words.
struct large_class {
  int32_t start;
  member_span span;
};

// The bits of new lines 1..new_lines of each class of the new_count lines in
// class_list.
class_bits make_class_bits(const int32_t* class_list, int32_t new_count, int32_t new_lines) {
  class_bits bits;
  bits.class_list = class_list;
  bits.ranges = make_class_ranges(class_list, new_count);
  bits.words = words_per_row(new_lines);
  const uint64_t words = static_cast<uint64_t>(bits.words);
  bits.scratch = zeroed_table<uint64_t>(words);
  bits.large_at = table<int32_t>(static_cast<uint64_t>(new_count) / 64 + 2);
  for (int32_t g = 0; g <= new_count / 64 + 1; ++g) bits.large_at[g] = -1;
  // The classes with the most lines in the words, as many as fit.
  std::vector<large_class> chosen;
  for (int32_t start = 1, end; start <= new_count; start = end) {
    end = class_end(bits.ranges, start);
    if (end - start < kLargeClass) continue;
    const member_span span = lines_in_words(class_list, start, end, 0, bits.words);
    if (span.to - span.from >= kLargeClass) chosen.push_back({start, span});
  }
  const uint64_t fit = kMostClassMemory / words;
  if (chosen.size() > fit) {
    const auto by_lines = [](const large_class& a, const large_class& b) {
      return a.span.to - a.span.from > b.span.to - b.span.from;
    };
    std::nth_element(chosen.begin(), chosen.begin() + static_cast<std::ptrdiff_t>(fit),
                     chosen.end(), by_lines);
    chosen.resize(fit);
  }
  if (chosen.empty()) return bits;
  bits.large = zeroed_table<uint64_t>(chosen.size() * words);
  for (size_t index = 0; index < chosen.size(); ++index) {
    bits.large_at[chosen[index].start >> 6] = static_cast<int32_t>(index);
    set_class_bits(class_list, chosen[index].start, chosen[index].span,
                   bits.large.data() + index * words);
  }
  return bits;
}

// The index in bits.large of the class from start to end, or -1 where its
// bits are not set once.
int32_t large_index(const class_bits& bits, int32_t start, int32_t end) {
  return end - start >= kLargeClass ? bits.large_at[start >> 6] : -1;
}

// Row i into to, from row i - 1 in from; they may be the same, and both
// hold the row's words from word first on. A row's bits are clear at its
// rises: the matching lines where the length has not yet risen are added
// in, so that each rise moves down to the lowest of them below it by one
// carry, or a rise is gained at the top. Carries run up only, so the first
// words words of a row follow from those of the row before alone.
void advance_row(class_bits& bits, const int32_t* old_classes, int32_t i, const uint64_t* from,
                 uint64_t* to, int32_t words, int32_t first) {
  const int32_t start = old_classes[i];
  if (start == 0) {  // a line no new line matches leaves the row as it was
    if (from != to) memcpy(to, from, static_cast<size_t>(words) * sizeof(uint64_t));
    return;
  }
  const int32_t end = class_end(bits.ranges, start);
  const int32_t large = large_index(bits, start, end);
  if (large >= 0) {
    next_bit_row(from, bits.large.data() + static_cast<uint64_t>(large) * bits.words + first, to,
                 words);
    return;
  }
  const member_span span = lines_in_words(bits.class_list, start, end, first, words);
  set_class_bits(bits.class_list, start, span, bits.scratch.data());
  next_bit_row(from, bits.scratch.data() + first, to, words);
  clear_class_bits(bits.class_list, start, span, bits.scratch.data());
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

// The words of row r that the rows hold: words of them from word
// window_start(r) on. Below those a row no longer changes, as no pairing is
// looked for there; above them it has no rise yet. The start never falls
// and rises by one word at most from one row to the next.
struct row_window {
  int32_t diag_low;     // the band's lowest diagonal
  int32_t words;        // a row's
  int32_t total_words;  // the whole row's
};

int32_t window_start(const row_window& window, int32_t r) {
  const int64_t bit = int64_t{r} + window.diag_low - 1;  // new line r + diag_low
  return static_cast<int32_t>(
      std::clamp<int64_t>(bit >> 6, 0, window.total_words - window.words));
}

// The highest rise at or below bit p of a row held from word first on in
// words words, or -1 where it holds none: above the row's words it has no
// rise.
int32_t last_rise_up_to(const uint64_t* row, int32_t first, int32_t words, int32_t p) {
  if (p < first * 64) return -1;
  int32_t w = (p >> 6) - first;
  uint64_t rises = w < words ? ~row[w] & bits_up_to(p) : ~row[w = words - 1];
  for (;;) {
    if (rises != 0) return (first + w) * 64 + std::bit_width(rises) - 1;
    if (--w < 0) return -1;
    rises = ~row[w];
  }
}

// The rises of a whole row at bits 0..p.
int32_t rises_up_to(const uint64_t* row, int32_t p) {
  int32_t rises = 0;
  for (int32_t w = 0; w <= p >> 6 && p >= 0; ++w)
    rises += std::popcount(~row[w] & (w == p >> 6 ? bits_up_to(p) : ~uint64_t{0}));
  return rises;
}

// The rises of the row's words.
int32_t rises_in(const uint64_t* row, int32_t words) {
  int32_t rises = 0;
  for (int32_t w = 0; w < words; ++w) rises += std::popcount(~row[w]);
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
  row_window window;
  // The rows of every level in one table, so that they take one mapping,
  // and after them the row not kept while a block is recomputed.
  table<uint64_t> rows;
  uint64_t* kept[kMostRowLevels];
  int32_t first[kMostRowLevels];  // the block held at each level from 1, or -1
  uint64_t* scratch;
};

uint64_t row_offset(const row_store& store, int64_t index) {
  return static_cast<uint64_t>(index) * static_cast<uint64_t>(store.window.words);
}

// The words of row r that hold bits below bit (words_below * 64).
int32_t words_wanted(const row_store& store, int32_t r, int32_t words_below) {
  return std::clamp(words_below - window_start(store.window, r), 0, store.window.words);
}

// Row r into to, its first words words, from row r - 1 in from (which may
// be to): where the window moves up a word, the row's words move down one.
void advance_window(row_store& store, int32_t r, const uint64_t* from, uint64_t* to,
                    int32_t words) {
  if (words <= 0) return;
  const int32_t first = window_start(store.window, r);
  if (first != window_start(store.window, r - 1)) {
    const int32_t moved = std::min(words, store.window.words - 1);
    memmove(to, from + 1, static_cast<size_t>(moved) * sizeof(uint64_t));
    if (moved < words) to[moved] = ~uint64_t{0};  // no rise yet
    from = to;
  }
  advance_row(store.bits, store.old_classes, r, from, to, words, first);
}

// Level l's rows from row first on, from that row in from, each of its
// words below bit (words_below * 64).
void recompute_block(row_store& store, int32_t l, int32_t first, const uint64_t* from,
                     int32_t words_below) {
  const int32_t step = store.levels.step[l];
  const int32_t last = std::min<int64_t>(int64_t{first} + store.levels.step[l - 1] - 1,
                                         store.old_count);
  uint64_t* level = store.kept[l];
  memcpy(level, from,
         static_cast<size_t>(words_wanted(store, first, words_below)) * sizeof(uint64_t));
  for (int32_t r = first + 1; r <= last; ++r) {
    uint64_t* to =
        (r - first) % step == 0 ? level + row_offset(store, (r - first) / step) : store.scratch;
    advance_window(store, r, from, to, words_wanted(store, r, words_below));
    from = to;
  }
  store.first[l] = first;
}

// Row r, good below bit (words_below * 64): no later call asks for a later
// row or more words.
const uint64_t* row_at(row_store& store, int32_t r, int32_t words_below) {
  const row_levels& levels = store.levels;
  const uint64_t* row = store.kept[0] + row_offset(store, r / levels.step[0]);
  for (int32_t l = 1; l < levels.count; ++l) {
    const int32_t first = r - r % levels.step[l - 1];
    if (store.first[l] != first) recompute_block(store, l, first, row, words_below);
    row = store.kept[l] + row_offset(store, (r - first) / levels.step[l]);
  }
  return row;
}

// Row 0, before any old line: every bit set, for no rise yet.
table<uint64_t> row_before_any_line(int32_t words) {
  table<uint64_t> row(static_cast<uint64_t>(words));
  memset(row.data(), 0xff, static_cast<size_t>(words) * sizeof(uint64_t));
  return row;
}

// The forward pass: rows 1..old_count from row 0, which has no rise, level
// 0's rows kept; returns the last row, and adds to *frozen the rises of the
// words left below the window on the way.
table<uint64_t> forward_rows(row_store& store, int32_t* frozen) {
  const int32_t words = store.window.words;
  const size_t row_bytes = static_cast<size_t>(words) * sizeof(uint64_t);
  const int32_t step = store.levels.step[0];
  table<uint64_t> row = row_before_any_line(words);
  memcpy(store.kept[0], row.data(), row_bytes);
  for (int32_t i = 1; i <= store.old_count; ++i) {
    if (window_start(store.window, i) != window_start(store.window, i - 1))
      *frozen += std::popcount(~row[0]);
    advance_window(store, i, row.data(), row.data(), words);
    if (i % step == 0) memcpy(store.kept[0] + row_offset(store, i / step), row.data(), row_bytes);
  }
  return row;
}

// The rows each level holds at most.
int32_t level_rows(const row_levels& levels, int32_t old_count, int32_t l) {
  return l == 0 ? old_count / levels.step[0] + 1 : levels.step[l - 1] / levels.step[l];
}

row_store open_row_store(class_bits& bits, const int32_t* old_classes, int32_t old_count,
                         const row_levels& levels, const row_window& window) {
  row_store store{bits, old_classes, old_count, levels, window, {}, {}, {}, nullptr};
  int64_t rows = 1;
  for (int32_t l = 0; l < levels.count; ++l) rows += level_rows(levels, old_count, l);
  store.rows = table<uint64_t>(row_offset(store, rows));
  int64_t at = 0;
  for (int32_t l = 0; l < levels.count; ++l) {
    store.kept[l] = store.rows.data() + row_offset(store, at);
    store.first[l] = -1;
    at += level_rows(levels, old_count, l);
  }
  store.scratch = store.rows.data() + row_offset(store, at);
  return store;
}

// Whether band holds every chain of at least chain pairings.
bool band_holds(const diagonal_band& band, int32_t old_count, int32_t new_count, int32_t chain) {
  const diagonal_band needed = band_holding(old_count, new_count, chain);
  return band.low <= needed.low && band.high >= needed.high;
}

}  // namespace

diagonal_band whole_band(int32_t old_count, int32_t new_count) {
  return diagonal_band{-old_count, new_count};
}

diagonal_band band_holding(int32_t old_count, int32_t new_count, int32_t chain) {
  // |d| + |shift - d| is |shift| between 0 and shift, and grows by 2 a
  // diagonal beyond.
  const int32_t shift = new_count - old_count;
  const int32_t beyond = std::min(old_count, new_count) - chain;  // (unpaired - |shift|) / 2
  return diagonal_band{std::min(0, shift) - beyond, std::max(0, shift) + beyond};
}

int32_t band_row_words(const diagonal_band& band, int32_t new_count) {
  // A row's window starts at most 63 bits below the band's lowest line, and
  // reaches one line past its highest, which the way back may read.
  const int64_t words = (int64_t{band.high} - band.low + 64) / 64 + 1;
  return static_cast<int32_t>(std::min<int64_t>(words, words_per_row(new_count)));
}

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

uint64_t row_level_memory(const row_levels& levels, int32_t old_count, int32_t row_words) {
  uint64_t rows = 1;  // the row not kept, while a block is recomputed
  for (int32_t l = 0; l < levels.count; ++l)
    rows += static_cast<uint64_t>(level_rows(levels, old_count, l));
  return rows * static_cast<uint64_t>(row_words) * sizeof(uint64_t);
}

namespace {

// factor^count, or more than INT32_MAX.
int64_t capped_power(int64_t factor, int32_t count) {
  int64_t power = 1;
  for (int32_t c = 0; c < count && power <= INT32_MAX; ++c) power *= factor;
  return power;
}

}  // namespace

row_levels choose_row_levels(int32_t old_count, int32_t row_words, uint64_t memory) {
  for (int32_t count = 1; count <= kMostRowLevels; ++count) {
    // The least factor whose count-th power exceeds old_count, so that
    // count levels reach every row.
    int64_t factor = std::max<int64_t>(
        2, static_cast<int64_t>(std::pow(static_cast<double>(old_count), 1.0 / count)) - 1);
    while (capped_power(factor, count) <= old_count) ++factor;
    const row_levels levels = row_levels_by_factor(old_count, static_cast<int32_t>(factor));
    if (levels.count <= count && row_level_memory(levels, old_count, row_words) <= memory)
      return levels;
  }
  return row_levels{};
}

uint64_t row_word_steps(const row_levels& levels, int32_t old_count, int32_t row_words) {
  return static_cast<uint64_t>(levels.count) * static_cast<uint64_t>(old_count) *
         static_cast<uint64_t>(row_words);
}

int32_t prefix_chain_length(const int32_t* old_classes, int32_t old_lines,
                            const int32_t* class_list, int32_t new_count, int32_t new_lines,
                            const diagonal_band& band) {
  if (old_lines == 0 || new_lines == 0) return 0;
  class_bits bits = make_class_bits(class_list, new_count, new_lines);
  const row_window window{band.low, band_row_words(band, new_lines), words_per_row(new_lines)};
  // One level that keeps no row but the last: only the last row is read.
  row_levels levels;
  levels.count = 1;
  levels.step[0] = old_lines;
  row_store store = open_row_store(bits, old_classes, old_lines, levels, window);
  int32_t k = 0;  // the rises left below the window, and those in it up to new line new_lines
  const table<uint64_t> row = forward_rows(store, &k);
  const int64_t top = int64_t{new_lines} - 1 - int64_t{64} * window_start(window, old_lines);
  if (top >= 0)
    k += rises_up_to(row.data(),
                     static_cast<int32_t>(std::min<int64_t>(top, 64 * int64_t{window.words} - 1)));
  return k;
}

namespace {

// The chain read back, as the old lines and the new lines it pairs, a bit
// for each line (bit j - 1 for line j): both rise along the chain, so the
// s-th old line set pairs with the s-th new line set. Bits take far less
// than the lines' numbers on a long chain, when the rows are still held.
struct chain_read {
  table<uint64_t> old_lines;
  table<uint64_t> new_lines;
};

table<uint64_t> clear_bits(int32_t lines) {
  return zeroed_table<uint64_t>(static_cast<uint64_t>(lines) / 64 + 1);
}

void set_line(table<uint64_t>& bits, int32_t line) {
  bits[static_cast<uint64_t>(line - 1) >> 6] |= uint64_t{1} << ((line - 1) & 63);
}

// The line of the next bit set in bits from word *w on, which it moves past.
int32_t next_line(const table<uint64_t>& bits, uint64_t* w, uint64_t* rest) {
  while (*rest == 0) *rest = bits[++*w];
  const int32_t line = static_cast<int32_t>(*w * 64) + std::countr_zero(*rest) + 1;
  *rest &= *rest - 1;
  return line;
}

// The way back: the chain that ends at new line top + 1 after the last row,
// k pairings long.
chain_read read_chain_back(row_store& store, int32_t top, int32_t k) {
  const int32_t* old_classes = store.old_classes;
  const int32_t words = store.window.words;
  chain_read chain{clear_bits(store.old_count), clear_bits(store.bits.words * 64)};
  // Level s ends after old line i at new line p + 1, the row's s-th rise.
  // Its record was made at the first old line whose row has as many rises
  // up to there, and the record before it is level s - 1's end after the
  // line before that: the last rise below p in that line's row.
  //
  // Row i has one rise more than row i - 1 up to bit p where a carry leaves
  // bit p in the step from one to the other: where row i - 1 has no rise
  // from its last one at or below p (at bit z) up to p, and line i matches
  // some new line in between, the lowest of which gains a rise that the
  // carry takes from above p. Within a band that holds the chain, the rows
  // agree with the whole rows at every bit read here, and so do the matches
  // that decide it, which are looked for among all the class's lines.
  int32_t i = store.old_count;
  int32_t p = top;
  for (int32_t s = k; s >= 1; --s) {
    int32_t z = -1;  // the last rise of row i - 1 at or below p
    for (; i > 1; --i) {
      const uint64_t* row = row_at(store, i - 1, (p >> 6) + 1);
      z = last_rise_up_to(row, window_start(store.window, i - 1), words, p);
      if (class_matches_between(store.bits, old_classes, i, z, p)) break;
    }
    set_line(chain.old_lines, i);
    set_line(chain.new_lines, p + 1);
    if (s > 1) {
      // Row i - 1 has no rise at p, as it has one less up to there.
      p = i > 1 ? z : -1;
      --i;
    }
  }
  return chain;
}

// The chain within band by rows, read back where band holds every longest
// chain; else none. *length is the band's longest chain either way.
chain_read chain_within(const int32_t* old_classes, int32_t old_count, const int32_t* class_list,
                        int32_t new_count, const row_levels& levels, const diagonal_band& band,
                        int32_t* length) {
  class_bits bits = make_class_bits(class_list, new_count, new_count);
  const row_window window{band.low, band_row_words(band, new_count), words_per_row(new_count)};
  row_store store = open_row_store(bits, old_classes, old_count, levels, window);
  int32_t k = 0;  // the rises of the last row: those left below the window, and in it
  table<uint64_t> row = forward_rows(store, &k);
  k += rises_in(row.data(), window.words);
  *length = k;
  if (k == 0 || !band_holds(band, old_count, new_count, k)) return chain_read{};
  const int32_t top =
      last_rise_up_to(row.data(), window_start(window, old_count), window.words, new_count - 1);
  row.reset();
  return read_chain_back(store, top, k);
}

}  // namespace

int32_t find_chain_by_rows(candidate_search& search, const int32_t* old_classes,
                           int32_t old_count, const int32_t* class_list, int32_t new_count,
                           const row_levels& levels, const diagonal_band& band,
                           int32_t* band_chain) {
  int32_t k = 0;
  // The rows are freed before the records are made.
  const chain_read chain =
      chain_within(old_classes, old_count, class_list, new_count, levels, band, &k);
  *band_chain = k;
  if (!band_holds(band, old_count, new_count, k)) return -1;
  reserve_candidates(search, k + 1);
  chain_end(search, 0) = add_candidate(search, 0, 0, 0);
  chain_end(search, k) = k;
  uint64_t old_word = 0, new_word = 0;
  uint64_t old_rest = k > 0 ? chain.old_lines[0] : 0, new_rest = k > 0 ? chain.new_lines[0] : 0;
  for (int32_t s = 1; s <= k; ++s) {
    const int32_t old_pos = next_line(chain.old_lines, &old_word, &old_rest);
    add_candidate(search, old_pos, next_line(chain.new_lines, &new_word, &new_rest), s - 1);
  }
  return k;
}
