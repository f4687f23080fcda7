#include "engine/choose_search.h"

#include <algorithm>
#include <cassert>
#include <cstdlib>

#include "base/table.h"
#include "engine/class_ranges.h"

namespace {

// The costs the choice weighs, in one place. A step of the search by chain
// ends within a band (a line of a class looked at, with its search among
// the chain ends) costs about as much as this many row word steps. The
// figure is the one the earlier choice gave a trial of the search by chain
// ends before it was given up for the rows; it is not measured again. As
// a band's steps cost about what the whole search's do (below), it lets a
// band run on to about twice what the rows would take before it is given
// up: on the bench's short lines a band that holds the chain takes 12.2
// million steps, and at the whole search's figure its limit would be 12.7
// million. The rows alone were timed: on random lines of two values,
// 400,000 a side (bench/run --cases dense), the run took 8.3 s of processor
// time for 6 to 10 x 10^9 row word steps at four levels, about 1 ns each.
constexpr uint64_t kWordsPerStep = 16;

// The whole search against the rows: its most steps (every matching pair
// and every old line) at this many row word steps each. Each search was
// forced on random lines of 20 to 20,000 values, 200,000 and 300,000 a
// side: the whole search took 23 to 50 ns a matching pair, more as the
// classes get smaller, and the rows 0.8 to 1.1 ns a word step. At a
// band's figure above, the plan took the whole search on 300,000 lines of
// 1,000 values (7.3 s) where the rows take 5.4 s.
constexpr uint64_t kWordsPerPair = 32;

// The rows start within a band whose chains may leave twice as many lines
// unpaired beyond the views' difference in length as the least the classes
// show, and at least this many, as a band's first try. Where that is short
// of the chain, the chain it finds tells the band that holds it.
constexpr int64_t kLeastRowBandBeyond = 1024;

// The rows within a band: their words, their levels within the memory
// allowed, and their word steps (UINT64_MAX where no levels fit).
struct band_rows {
  diagonal_band band;
  int32_t words;
  row_levels levels;
  uint64_t word_steps;
};

band_rows rows_within(const search_sizes& sizes, const diagonal_band& band, uint64_t row_memory) {
  const int32_t words = band_row_words(band, sizes.new_count);
  const row_levels levels = choose_row_levels(sizes.old_count, words, row_memory);
  const uint64_t word_steps =
      levels.count == 0 ? UINT64_MAX : row_word_steps(levels, sizes.old_count, words);
  return band_rows{band, words, levels, word_steps};
}

// The rows' word steps as steps of a band; UINT64_MAX where they do not fit.
uint64_t band_steps(const band_rows& rows) {
  return rows.word_steps == UINT64_MAX ? UINT64_MAX : rows.word_steps / kWordsPerStep;
}

// The diagonals of the pairings a search within band looks for: old line
// i with new lines less than band away.
diagonal_band check_band(int32_t band) { return diagonal_band{1 - band, band - 1}; }

// The whole search by chain ends' steps at most: every matching pair and
// every old line.
uint64_t chain_end_steps(const search_sizes& sizes) {
  return sizes.matching_pairs + static_cast<uint64_t>(sizes.old_count);
}

// Those steps as row word steps, UINT64_MAX where they do not fit.
uint64_t whole_search_words(const search_sizes& sizes) {
  const uint64_t steps = chain_end_steps(sizes);
  return steps > UINT64_MAX / kWordsPerPair ? UINT64_MAX : steps * kWordsPerPair;
}

}  // namespace

search_sizes measure_search(const int32_t* old_classes, int32_t old_count,
                            const int32_t* class_list, int32_t new_count) {
  search_sizes sizes;
  sizes.old_count = old_count;
  sizes.new_count = new_count;
  // Old members by class start; element 0 counts the old lines of no class.
  table<int32_t> old_members = zeroed_table<int32_t>(static_cast<uint64_t>(new_count) + 2);
  for (int32_t i = 1; i <= old_count; ++i) ++old_members[old_classes[i]];
  sizes.least_unpaired = old_members[0];
  const class_ranges ranges = make_class_ranges(class_list, new_count);
  for (int32_t start = 1, end; start <= new_count; start = end) {
    end = class_end(ranges, start);
    const int64_t old_side = old_members[start];
    sizes.matching_pairs += static_cast<uint64_t>(old_side) * static_cast<uint64_t>(end - start);
    sizes.least_unpaired += std::abs(old_side - (end - start));
  }
  return sizes;
}

uint64_t row_memory_allowed(int32_t old_count, int32_t new_count) {
  return 4 * (static_cast<uint64_t>(old_count) + static_cast<uint64_t>(new_count)) +
         (uint64_t{4} << 20);
}

namespace {

// The pairs of matching lines within band, were they spread evenly.
double pairs_within(const search_sizes& sizes, int64_t band) {
  return static_cast<double>(sizes.matching_pairs) *
         std::min(1.0, 2.0 * static_cast<double>(band) / std::max(sizes.new_count, 1));
}

// The widest band the search by chain ends is given.
constexpr int64_t kMostChainBand = int64_t{1} << 22;

// The band, where it may hold the chain; steps as in choose_search.
void plan_band(const search_sizes& sizes, int32_t band, uint64_t row_steps, uint64_t whole_steps,
               search_plan& plan) {
  // Files of lines mostly distinct with many changes: a band wide enough
  // for twice the lines the classes leave unpaired, where its pairs are a
  // small share of the whole search's steps.
  const int64_t wide = std::min(2 * sizes.least_unpaired + 2, kMostChainBand);
  if (wide > band && 4 * pairs_within(sizes, wide) <= static_cast<double>(whole_steps))
    band = static_cast<int32_t>(wide);
  // A band leaves pairs out only where a view is longer, and holds the
  // chain only where it leaves fewer than band - 1 lines unpaired.
  if (std::max(sizes.old_count, sizes.new_count) <= band || sizes.least_unpaired >= band - 1)
    return;
  // Where the pairs within the band outnumber the rows' steps, the band
  // runs only after a check on the first lines that costs a share of the
  // rows' steps: without one it is likely to be given up, its steps and
  // the records it made by then (on dense pairs more memory than the rows
  // take) spent for nothing.
  const double band_pairs = pairs_within(sizes, band);
  const int64_t check_lines = std::min<int64_t>(sizes.old_count, 8 * int64_t{band});
  const uint64_t check_steps =
      static_cast<uint64_t>(check_lines) *
      static_cast<uint64_t>(band_row_words(check_band(band), sizes.new_count)) / kWordsPerStep;
  if (band_pairs > static_cast<double>(row_steps)) {
    if (check_steps > row_steps / 4) return;
    plan.band_check_lines = static_cast<int32_t>(check_lines);
  }
  plan.band = band;
  plan.band_step_limit = row_steps < whole_steps ? row_steps : kNoStepLimit;
}

// The rows within the first band of plan_rows, where they fit in memory and
// take at most a quarter of the whole rows' words; returns their steps, or
// UINT64_MAX with plan as it was.
uint64_t plan_row_band(const search_sizes& sizes, uint64_t row_memory, int32_t whole_words,
                       search_plan& plan) {
  const int64_t beyond =
      std::max(kLeastRowBandBeyond,
               sizes.least_unpaired - std::abs(int64_t{sizes.new_count} - sizes.old_count));
  const int64_t chain = std::min(sizes.old_count, sizes.new_count) - beyond;
  if (chain <= 0) return UINT64_MAX;
  const band_rows rows = rows_within(
      sizes, band_holding(sizes.old_count, sizes.new_count, static_cast<int32_t>(chain)),
      row_memory);
  if (rows.levels.count == 0 || int64_t{4} * rows.words > whole_words) return UINT64_MAX;
  plan.rows = rows.levels;
  plan.row_band = rows.band;
  return band_steps(rows);
}

}  // namespace

search_plan choose_search(const search_sizes& sizes, int32_t band, uint64_t row_memory) {
  search_plan plan;
  const band_rows whole =
      rows_within(sizes, whole_band(sizes.old_count, sizes.new_count), row_memory);
  plan.row_band = whole.band;
  plan.rows = whole.levels;
  plan.whole = whole_search_words(sizes) <= whole.word_steps;
  // Both in steps of the search by chain ends.
  uint64_t first_row_steps = band_steps(whole);
  if (!plan.whole) {
    first_row_steps =
        std::min(first_row_steps, plan_row_band(sizes, row_memory, whole.words, plan));
  }
  plan_band(sizes, band, first_row_steps, chain_end_steps(sizes), plan);
  return plan;
}

search_plan widen_row_band(const search_sizes& sizes, int32_t chain, uint64_t row_memory) {
  const band_rows band =
      rows_within(sizes, band_holding(sizes.old_count, sizes.new_count, chain), row_memory);
  const band_rows whole =
      rows_within(sizes, whole_band(sizes.old_count, sizes.new_count), row_memory);
  const uint64_t whole_words = whole_search_words(sizes);
  const bool band_cheapest = band.levels.count > 0 && band.word_steps <= whole_words &&
                             band.word_steps <= whole.word_steps;
  const band_rows& taken = band_cheapest ? band : whole;
  search_plan next;
  next.whole = !band_cheapest && whole_words <= whole.word_steps;
  next.rows = taken.levels;
  next.row_band = taken.band;
  return next;
}

bool band_may_hold(const search_plan& plan, const int32_t* old_classes, int32_t old_count,
                   const int32_t* class_list, int32_t new_count) {
  const int32_t lines = plan.band_check_lines;
  if (lines == 0) return true;
  // Old line i pairs in the band with new lines up to i + band - 1.
  const int32_t new_lines =
      static_cast<int32_t>(std::min<int64_t>(new_count, int64_t{lines} + plan.band - 1));
  const int32_t k = prefix_chain_length(old_classes, lines, class_list, new_count, new_lines,
                                        check_band(plan.band));
  return 2 * (int64_t{lines} - k) + (int64_t{new_count} - old_count) < plan.band - 1;
}

namespace {

int32_t search_by_plan(candidate_search& search, int32_t* old_classes, int32_t old_count,
                       const int32_t* class_list, int32_t new_count, int32_t band) {
  const search_sizes sizes = measure_search(old_classes, old_count, class_list, new_count);
  const uint64_t row_memory = row_memory_allowed(old_count, new_count);
  const search_plan plan = choose_search(sizes, band, row_memory);
  // A search in a band leaves old_classes as they were.
  if (plan.band != kNoBand &&
      band_may_hold(plan, old_classes, old_count, class_list, new_count)) {
    const int32_t k = find_candidates_within(search, old_classes, old_count, class_list,
                                             new_count, {plan.band, plan.band_step_limit});
    if (k >= 0) return k;
    start_candidate_search(search, old_count);
  }
  if (plan.whole) return find_candidates(search, old_classes, old_count, class_list, new_count);
  int32_t chain = 0;
  int32_t k = find_chain_by_rows(search, old_classes, old_count, class_list, new_count, plan.rows,
                                 plan.row_band, &chain);
  if (k >= 0) return k;
  const search_plan wider = widen_row_band(sizes, chain, row_memory);
  if (wider.whole) return find_candidates(search, old_classes, old_count, class_list, new_count);
  k = find_chain_by_rows(search, old_classes, old_count, class_list, new_count, wider.rows,
                         wider.row_band, &chain);
  // The band holds every chain as long as the one found in the first, which
  // lies in it, and so the longest.
  assert(k >= 0);
  return k;
}

}  // namespace

int32_t find_longest_chain(candidate_search& search, int32_t* old_classes, int32_t old_count,
                           const int32_t* class_list, int32_t new_count, int32_t band) {
  const int32_t k = search_by_plan(search, old_classes, old_count, class_list, new_count, band);
  assert(candidates_hold_together(search, k, k));
  return k;
}
