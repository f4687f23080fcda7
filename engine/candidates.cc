#include "engine/candidates.h"

#include <algorithm>
#include <cassert>
#include <cstddef>
#include <cstdlib>

#include "engine/class_ranges.h"
#include "engine/marked_set.h"
#include "port/kernels.h"

void set_chain_position(chain_positions& chain, int32_t p, int32_t y) {
  const auto at = static_cast<uint32_t>(p & chain.ring_mask);
  chain.pos[at] = y;
  // Its mirror past the ring; without a ring, the same element again.
  if (at < kRingMirror) chain.pos[at + static_cast<uint32_t>(chain.ring_mask + 1)] = y;
  if (p % 64 == 0) chain.sample[p / 64] = y;
}

namespace {

// How many of the 64 rising values from first lie below y. All four cache
// lines are asked for at once, where a binary search waits for each in turn.
int32_t count_below_64(const int32_t* first, int32_t y) {
  return count_below_16(first, y) + count_below_16(first + 16, y) +
         count_below_16(first + 32, y) + count_below_16(first + 48, y);
}

}  // namespace

int32_t search_candidates(const chain_positions& chain, int32_t k, int32_t y) {
  // A pairing that lengthens the longest chain costs one comparison.
  if (*level_pos(chain, k) < y) return k + 1;
  // The answer lies after the last sampled level below y (level 0 is, as
  // its position is 0), and no further than the next sampled level.
  const int32_t* sample = chain.sample;
  int32_t below =
      static_cast<int32_t>(std::lower_bound(sample, sample + k / 64 + 1, y) - sample) - 1;
  int32_t first = below * 64 + 1;
  // A ring holds the levels read (its mask is all ones without one).
  assert(static_cast<uint32_t>(k - first) <= static_cast<uint32_t>(chain.ring_mask));
  const int32_t* from = level_pos(chain, first);
  if (below * 64 + 64 <= k) return first + count_below_64(from, y);
  return first + static_cast<int32_t>(std::lower_bound(from, from + (k + 1 - first), y) - from);
}

int32_t search_candidates_above(const chain_positions& chain, int32_t k, int32_t y, int32_t floor) {
  if (*level_pos(chain, k) < y) return k + 1;
  if (floor == 0) return search_candidates(chain, k, y);
  // Mostly the very next level.
  assert(static_cast<uint32_t>(k - floor - 1) <= static_cast<uint32_t>(chain.ring_mask));
  const int32_t* above = level_pos(chain, floor + 1);
  if (above[0] >= y) return floor + 1;
  // Level floor ends below y, and level k not. The answer mostly lies a few
  // levels up: count the levels below y a block of 16 at a time, which takes
  // no branch that depends on where in the block it lies; an answer far away
  // is left to the sampled index.
  constexpr int32_t kBlock = 16;
  static_assert(4 * kBlock <= kRingMirror);
  for (int32_t first = floor + 1; first <= k - kBlock + 1 && first <= floor + 4 * kBlock;
       first += kBlock) {
    int32_t below_y = count_below_16(above + (first - floor - 1), y);
    if (below_y < kBlock) return first + below_y;
  }
  if (k - floor <= 4 * kBlock)
    return floor + 1 +
           static_cast<int32_t>(std::lower_bound(above, above + (k - floor), y) - above);
  return search_candidates(chain, k, y);
}

namespace {

// The levels a search in a band keeps, in rings: a pairing of old line i
// with new line y, less than band away, changes a level s less than 2 band
// below the longest: the levels above s end at distinct new lines beyond
// y, each made at an old line up to i and so below i + band. Its
// predecessor ends level s - 1, and the search for s reads up to 63 levels
// below it, so 2 band + 64 levels do; a power of two of at least 4 band
// leaves room. A ring of more levels than the old lines never wraps.
int32_t ring_levels(const search_limits& limits, int32_t old_count) {
  const int64_t needed = std::min(int64_t{4} * limits.band, int64_t{old_count} + 1);
  int32_t levels = 2 * kRingMirror;
  while (levels < needed) levels *= 2;
  return levels;
}

// The search's own bookkeeping, beside chain_ends. A class line that already
// ends a chain changes nothing in the search: it would find its own chain
// end, and the predecessor it picks up is never used, because every later
// line of the class lies beyond that chain end. So the walk through a class
// passes over such lines without looking at them; on files that are much
// alike, where the short line hash puts many lines in each class, those are
// most of the lines of every class.
struct search_books {
  marked_set chain_end_members;  // class_list indices of lines that end a chain
  class_ranges classes;          // where each class ends
  chain_positions chain;         // where the chains end, level by level
  table<int32_t> chain_pos;      // the storage of chain.pos, or its ring
  table<int32_t> chain_sample;   // the storage of chain.sample
  // Element j: class_list element 64 j, so that a walk can pass over a long
  // run of a class without reading every cache line of it on the way.
  table<int32_t> member_sample;
  // Element p & chain.ring_mask: the class_list index of the line that ends
  // level p. Without a band it lies in the storage of the old lines'
  // classes: while old line i is searched the chains are at most i long,
  // and the classes of lines up to i are read. A search in a band changes
  // only levels near the longest, and keeps the last ring_mask + 1 of them
  // in a ring of its own, leaving the classes as they were.
  int32_t* end_member;
  table<int32_t> end_ring;
  // With a band, element r: the class_list index at which walks through
  // class r (by rank) enter it, its lines before that lying below the band.
  // The band rises with the old line, so a line below it stays below, and
  // the entries only move on: the walks pass over each line of the new view
  // below the band once in all, where a search from the class's start for
  // each old line took steps that grow with the class.
  table<int32_t> band_entry;
};

search_books open_books(int32_t* old_classes, int32_t old_count, const int32_t* class_list,
                        int32_t new_count, const search_limits& limits) {
  search_books books;
  books.chain_end_members = make_marked_set(static_cast<uint32_t>(new_count) + 2);
  books.classes = make_class_ranges(class_list, new_count);
  books.chain_sample = table<int32_t>(static_cast<uint64_t>(old_count) / 64 + 2);
  books.member_sample = table<int32_t>(static_cast<uint64_t>(new_count) / 64 + 2);
  for (int32_t j = 0; j <= (new_count + 1) / 64; ++j) books.member_sample[j] = class_list[64 * j];
  books.end_member = old_classes;
  if (!has_band(limits)) {
    books.chain_pos = table<int32_t>(static_cast<uint64_t>(old_count) + 2);
    books.chain = chain_positions{books.chain_pos.data(), books.chain_sample.data()};
  } else {
    const int32_t levels = ring_levels(limits, old_count);
    books.chain_pos = table<int32_t>(static_cast<uint64_t>(levels) + kRingMirror);
    books.chain =
        chain_positions{books.chain_pos.data(), books.chain_sample.data(), levels - 1};
    books.end_ring = table<int32_t>(static_cast<uint64_t>(levels));
    books.end_member = books.end_ring.data();
    books.band_entry = table<int32_t>(static_cast<uint64_t>(books.classes.count) + 1);
    std::copy_n(books.classes.start_of_rank.data(), books.classes.count,
                books.band_entry.data());
  }
  set_chain_position(books.chain, 0, 0);
  return books;
}

// Level p now ends with the line at class_list index member, new line y.
void set_chain_end(search_books& books, int32_t p, int32_t member, int32_t y) {
  set_chain_position(books.chain, p, y);
  books.end_member[p & books.chain.ring_mask] = member;
  mark(books.chain_end_members, member);
}

// The first element beyond v in [first, last), which rise, all before first
// being at most v: looked for in growing steps from first, as it mostly
// lies close.
const int32_t* first_beyond(const int32_t* first, const int32_t* last, int32_t v) {
  std::ptrdiff_t step = 1;
  while (step < last - first && first[step - 1] <= v) {
    first += step;
    step *= 2;
  }
  return std::upper_bound(first, std::min(first + step, last), v);
}

// The first class_list index in [from, end) whose line lies beyond new line
// v, where from is past the class's start, so that the lines there rise,
// and the lines before from lie at or below v. It is mostly close; else it
// is looked for among the sampled lines first.
int32_t first_member_beyond(const search_books& books, const int32_t* class_list, int32_t from,
                            int32_t end, int32_t v) {
  for (int32_t near_end = std::min(end, from + 8); from < near_end; ++from)
    if (class_list[from] > v) return from;
  const int32_t first_sample = (from + 63) / 64;
  const int32_t last_sample = (end - 1) / 64;  // the samples from here on lie in the class
  if (first_sample > last_sample)
    return static_cast<int32_t>(std::upper_bound(class_list + from, class_list + end, v) -
                                class_list);
  const int32_t* sample = books.member_sample.data();
  int32_t j = static_cast<int32_t>(
      first_beyond(sample + first_sample, sample + last_sample + 1, v) - sample);
  // Sample j - 1 lies at or below v and sample j beyond it: the line sought
  // lies between them.
  int32_t lo = j == first_sample ? from : 64 * (j - 1) + 1;
  int32_t hi = j > last_sample ? end : 64 * j + 1;
  if (hi - lo == 64) return lo + count_below_64(class_list + lo, v + 1);
  return static_cast<int32_t>(std::upper_bound(class_list + lo, class_list + hi, v) - class_list);
}

}  // namespace

namespace {

// Old lines whose class is fetched before the search comes to them.
constexpr int32_t kLookAhead = 32;

// Whether a search within the band is bound to be given up, a chain being
// bound to leave at least unpaired lines of both views unpaired: the band
// holds the chain only where it leaves fewer than band - 1.
bool band_cannot_hold(const search_limits& limits, int64_t unpaired) {
  return has_band(limits) && unpaired >= limits.band - 1;
}

// The steps the search has taken (lines of classes looked at, and old
// lines), and the old line at which it next foretells the whole search's.
struct step_count {
  uint64_t steps;
  int32_t next_estimate;
};

// Whether the search is given up at old line i, before its class is walked,
// with k the longest chain so far: past the step limit, or bound to pass it,
// or, in a band, bound to leave band - 1 lines or more unpaired.
bool give_up_at(step_count& count, const search_limits& limits, int32_t i, int32_t k,
                int32_t old_count, int32_t new_count) {
  if (++count.steps > limits.step_limit) return true;
  // The longest chain grows by one an old line at most.
  if (band_cannot_hold(limits, int64_t{new_count} - old_count + 2 * (int64_t{i} - 1 - k)))
    return true;
  if (i == count.next_estimate) {
    // Steps taken so far on a 32nd, a 16th, ... of the old lines foretell
    // those of the whole search: one bound to take more than the limit is
    // given up early.
    if (static_cast<double>(count.steps) * old_count > static_cast<double>(limits.step_limit) * i)
      return true;
    count.next_estimate = i > old_count / 2 ? 0 : 2 * i;
  }
  return false;
}

// Asks for the class that starts at class_list index start, soon to be
// walked: the walk reads it from its start, often beyond the first cache
// line of it, past the lines that already end chains; and the words that
// say where it ends and which of its lines end chains.
//
// The prefetch helpers are inlined where they are called: a function that
// only prefetches looks to the compiler like one without effect, and it
// drops the calls to it.
[[gnu::always_inline]] inline void prefetch_class(const search_books& books,
                                                   const int32_t* class_list, int32_t start) {
  const int32_t* first = &class_list[start];
  __builtin_prefetch(first);
  __builtin_prefetch(first + 16);
  __builtin_prefetch(first + 32);
  __builtin_prefetch(first + 48);
  __builtin_prefetch(&books.classes.starts[start >> 6]);
  __builtin_prefetch(&books.classes.starts_before[start >> 6]);
  __builtin_prefetch(&books.chain_end_members.words[start >> 6]);
}

// With a band the walk enters its class where band_entry says, two reads
// in turn from the class's rank, which old_classes hold while a band search
// runs: asked for kLookAhead old lines apart, the entry first, then the
// lines there.
[[gnu::always_inline]] inline void prefetch_band_walk(const search_books& books,
                                                       const int32_t* class_list,
                                                       const int32_t* ranked, int32_t i,
                                                       int32_t old_count) {
  if (i + 2 * kLookAhead <= old_count && ranked[i + 2 * kLookAhead] != 0) {
    const int32_t r = ranked[i + 2 * kLookAhead] - 1;
    __builtin_prefetch(&books.band_entry[r]);
    __builtin_prefetch(&books.classes.start_of_rank[r]);
  }
  if (i + kLookAhead <= old_count && ranked[i + kLookAhead] != 0) {
    const int32_t entry = books.band_entry[ranked[i + kLookAhead] - 1];
    __builtin_prefetch(&class_list[entry]);
    __builtin_prefetch(&books.chain_end_members.words[entry >> 6]);
  }
}

// The part of a class that the walk for old line i reads: it starts at
// class_list index first; the lines up to new line low lie below the band,
// and those from new line above on beyond it (none without a band).
struct walk_bounds {
  int32_t first;
  int32_t low;
  int32_t above;
};

// The lines of old line i's class, class_list indices [start, end), and,
// in a band search, its rank.
struct class_span {
  int32_t start;
  int32_t end;
  int32_t rank;
};

// The class of old_classes element e: its start, or with a band its rank + 1.
class_span span_of(const search_books& books, const search_limits& limits, int32_t e) {
  if (!has_band(limits)) return class_span{e, class_end(books.classes, e), 0};
  const int32_t* start_of_rank = books.classes.start_of_rank.data();
  return class_span{start_of_rank[e - 1], start_of_rank[e], e - 1};
}

walk_bounds bounds_in_band(search_books& books, const int32_t* class_list,
                           const search_limits& limits, int32_t i, const class_span& span) {
  const int32_t start = span.start;
  const int32_t end = span.end;
  walk_bounds bounds{start, 0, INT32_MAX};
  if (!has_band(limits)) return bounds;
  bounds.above = static_cast<int32_t>(std::min<int64_t>(int64_t{i} + limits.band, INT32_MAX));
  bounds.low = i - limits.band;
  int32_t& entry = books.band_entry[span.rank];
  if (entry == start && -class_list[start] <= bounds.low) ++entry;  // a class start is negated
  while (entry > start && entry < end && class_list[entry] <= bounds.low) ++entry;
  bounds.first = entry;
  return bounds;
}

// What the walk through old line i's class carries from one line to the
// next.
struct class_walk {
  int32_t last_replaced;  // the last level the walk replaced; 0: none
  int32_t pred;           // the predecessor a new pairing of line i names
  int32_t pred_pos;       // its new_pos
  int32_t below;          // a level that ends before every line still to come
};

// Level s (below the longest, k) ends beyond new line y: old line i paired
// with y, at class_list index x, ends it now, and the end it replaces is
// the predecessor of the walk's next pairing.
void replace_chain_end(candidate_search& search, search_books& books, class_walk& walk, int32_t k,
                       int32_t s, int32_t i, int32_t x, int32_t y) {
  const int32_t replaced_pos = *level_pos(books.chain, s);
  // The rings hold level s (the mask is all ones without a ring).
  assert(static_cast<uint32_t>(k - s) <= static_cast<uint32_t>(books.chain.ring_mask));
  unmark(books.chain_end_members, books.end_member[s & books.chain.ring_mask]);
  const int32_t added = add_candidate_compacting(search, k, i, y, walk.pred);
  int32_t& end = chain_end(search, s);
  const int32_t replaced = end;  // read after a compaction may renumber it
  end = added;
  set_chain_end(books, s, x, y);
  walk.pred = replaced;
  walk.pred_pos = replaced_pos;
  walk.last_replaced = s;
}

// Pairs old line i with new line y, at class_list index x, beyond the
// walk's predecessor: at the level it lengthens, where it ends the walk, as
// nothing later in the class can do better for line i, or at the level
// whose end it may replace. Returns whether the walk ends.
bool pair_with(candidate_search& search, search_books& books, class_walk& walk, int32_t& k,
               int32_t i, int32_t x, int32_t y) {
  const int32_t s = search_candidates_above(books.chain, k, y, walk.below);
  if (s != walk.last_replaced + 1) {
    walk.pred = chain_end(search, s - 1);
    walk.pred_pos = *level_pos(books.chain, s - 1);
  }
  if (s == k + 1) {
    const int32_t added = add_candidate_compacting(search, k, i, y, walk.pred);
    chain_end(search, s) = added;
    set_chain_end(books, s, x, y);
    ++k;
    return true;
  }
  // Level s now ends at y, or did already: the class's later lines lie
  // beyond it.
  walk.below = s;
  if (*level_pos(books.chain, s) > y) replace_chain_end(search, books, walk, k, s, i, x, y);
  return false;
}

// Pairs old line i with the lines of its class, which starts at class_list
// index start, within the band, passing over those that end a chain
// already; k is the longest chain, and steps counts the lines looked at.
void walk_class(candidate_search& search, search_books& books, const int32_t* class_list,
                const search_limits& limits, int32_t i, const class_span& span, int32_t& k,
                uint64_t& steps) {
  const int32_t start = span.start;
  const int32_t end = span.end;
  class_walk walk{0, 0, 0, 0};  // the predecessor of a first level is the sentinel
  const marked_set& passed_over = books.chain_end_members;
  // The lines of a large class are seldom in the cache when the walk
  // comes to them.
  const bool large_class = end - start > 4096;
  const walk_bounds bounds = bounds_in_band(books, class_list, limits, i, span);
  for (int32_t x = next_unmarked(passed_over, bounds.first, end); x < end;
       x = next_unmarked(passed_over, x + 1, end)) {
    ++steps;
    const int32_t y = x == start ? -class_list[x] : class_list[x];  // a class start is negated
    if (y >= bounds.above) break;
    if (y <= bounds.low) continue;
    // In a large class the line the walk mostly goes on to is asked for
    // now, while this one is searched for.
    if (large_class) __builtin_prefetch(&class_list[next_unmarked(passed_over, x + 1, end)]);
    if (y <= walk.pred_pos) {
      // The class's lines rise, so every one up to new line pred_pos is
      // passed over: jump to the first beyond it.
      x = first_member_beyond(books, class_list, x + 1, end, walk.pred_pos) - 1;
      continue;
    }
    if (pair_with(search, books, walk, k, i, x, y)) break;
  }
}

// In a band search old_classes hold each old line's class rank + 1 (0: no
// class) in place of its start: the walk then finds where its class ends
// and where it enters it with no read of the class's bits, and those reads,
// one old line after another, are made here, where they do not wait on
// each other.
void rank_old_lines(const class_ranges& ranges, int32_t* old_classes, int32_t old_count) {
  for (int32_t i = 1; i <= old_count; ++i) {
    if (i + kLookAhead <= old_count) {
      const int32_t ahead = old_classes[i + kLookAhead];
      __builtin_prefetch(&ranges.starts[ahead >> 6]);
      __builtin_prefetch(&ranges.starts_before[ahead >> 6]);
    }
    if (old_classes[i] != 0) old_classes[i] = class_rank(ranges, old_classes[i]) + 1;
  }
}

void unrank_old_lines(const class_ranges& ranges, int32_t* old_classes, int32_t old_count) {
  for (int32_t i = 1; i <= old_count; ++i)
    if (old_classes[i] != 0) old_classes[i] = ranges.start_of_rank[old_classes[i] - 1];
}

// The search itself, old line by old line: old_classes hold class starts,
// or with a band class ranks + 1. Returns k, or -1 where it is given up.
int32_t search_old_lines(candidate_search& search, search_books& books, int32_t* old_classes,
                         int32_t old_count, const int32_t* class_list, int32_t new_count,
                         const search_limits& limits) {
  chain_end(search, 0) = add_candidate(search, 0, 0, 0);
  int32_t k = 0;
  step_count count{0, std::max(old_count / 32, 1)};
  for (int32_t i = 1; i <= old_count; ++i) {
    if (give_up_at(count, limits, i, k, old_count, new_count)) return -1;
    if (has_band(limits))
      prefetch_band_walk(books, class_list, old_classes, i, old_count);
    else if (i + kLookAhead <= old_count)
      prefetch_class(books, class_list, old_classes[i + kLookAhead]);
    const int32_t e = old_classes[i];  // read before level i may be written there
    if (e != 0) walk_class(search, books, class_list, limits, i, span_of(books, limits, e), k,
                           count.steps);
  }
  if (band_cannot_hold(limits, int64_t{old_count} + new_count - 2 * int64_t{k})) return -1;
  return k;
}

}  // namespace

int32_t find_candidates_within(candidate_search& search, int32_t* old_classes, int32_t old_count,
                               const int32_t* class_list, int32_t new_count,
                               const search_limits& limits) {
  assert(limits.band >= 0);
  // A chain leaves at least the lines by which one view is longer unpaired.
  if (band_cannot_hold(limits, std::abs(int64_t{new_count} - old_count))) return -1;
  search_books books = open_books(old_classes, old_count, class_list, new_count, limits);
  if (!has_band(limits))
    return search_old_lines(search, books, old_classes, old_count, class_list, new_count, limits);
  keep_last_chain_ends(search, books.chain.ring_mask + 1);
  rank_old_lines(books.classes, old_classes, old_count);
  const int32_t k =
      search_old_lines(search, books, old_classes, old_count, class_list, new_count, limits);
  unrank_old_lines(books.classes, old_classes, old_count);
  return k;
}

int32_t find_candidates(candidate_search& search, int32_t* old_classes, int32_t old_count,
                        const int32_t* class_list, int32_t new_count) {
  return find_candidates_within(search, old_classes, old_count, class_list, new_count,
                                search_limits{});
}

void allocate_match_vector(match_result& result) {
  result.match_vector = table<int32_t>(static_cast<uint64_t>(result.line_count[0]) + 2);
}

void build_match_vector(const candidate_search& search, int32_t last,
                        const line_classes& classes, match_result& result) {
  const int32_t old_lines = result.line_count[0];
  const int32_t shift = result.line_count[1] - old_lines;
  const int32_t prefix_len = classes.prefix_len;
  const int32_t suffix_len = classes.suffix_len;
  int32_t* match_vector = result.match_vector.data();
  for (int32_t i = 0; i <= old_lines; ++i) {
    if (i <= prefix_len) {
      match_vector[i] = i;
    } else if (i > old_lines - suffix_len) {
      match_vector[i] = i + shift;
    } else {
      match_vector[i] = 0;
    }
  }
  pair_chain_lines(search, last, prefix_len, match_vector);
}
