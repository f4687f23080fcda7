// The choice of search for the longest chain, made before any search runs,
// from what the classes tell: the views' lengths, the number of pairs of
// matching lines, and a lower bound on the lines any chain leaves unpaired.
//
// Three searches find the same chain at its longest level: the search by
// chain ends within a band of the diagonal (find_candidates_within), which
// holds it only where the files pair closely; the whole search by chain
// ends (find_candidates), whose steps grow with the pairs of matching lines
// at most; and the search by rows (find_chain_by_rows), whose word steps
// grow with the old view's length times the new view's, or times the width
// of a band of diagonals that holds the chain, in memory bounded by rows
// kept at several levels.
#ifndef OVARN_ENGINE_CHOOSE_SEARCH_H_
#define OVARN_ENGINE_CHOOSE_SEARCH_H_

#include <cstdint>

#include "engine/candidates.h"
#include "engine/chain_rows.h"

// The least band find_longest_chain tries first where a view is longer:
// files much alike pair within it; files with many changes get a wider one
// where its pairs are few.
constexpr int32_t kChainBand = 8192;

// What the choice weighs.
struct search_sizes {
  int32_t old_count = 0;
  int32_t new_count = 0;
  // The sum over classes of old members times new members: the most lines
  // of classes the search by chain ends looks at.
  uint64_t matching_pairs = 0;
  // Each class leaves at least |old members - new members| of its lines
  // unpaired, and an old line of no class is unpaired: the sum is at most
  // what a longest chain leaves, and at least |old_count - new_count|.
  int64_t least_unpaired = 0;
};

search_sizes measure_search(const int32_t* old_classes, int32_t old_count,
                            const int32_t* class_list, int32_t new_count);

// The searches to run, in order, each given up past its step limit.
struct search_plan {
  int32_t band = kNoBand;           // kNoBand: no search within a band
  uint64_t band_step_limit = 0;     // steps of the search within the band
  // Before the band, where its steps are expected to outnumber the rows':
  // the longest chain of the first band_check_lines old lines within the
  // band, found by rows of the band's width; 0: none.
  int32_t band_check_lines = 0;
  bool whole = false;               // the whole search by chain ends next
  row_levels rows;                  // else the rows, with these levels,
  diagonal_band row_band{};         // within this band
};

// The memory the search by rows may take for its rows: 4 B a line of both
// views and 4 MiB, so that the whole run stays within 16 B a line and
// 8 MiB with the classes and line tables beside it.
uint64_t row_memory_allowed(int32_t old_count, int32_t new_count);

// The cheapest plan by estimate: a band only where it may hold the chain,
// given up once it has taken as many steps as the rows would, and where it
// is expected to take more, only after a check on the views' first lines
// that costs a share of the rows' steps, or not at all; then the
// whole search where its most steps cost less than the whole rows, else
// the rows: within a band of diagonals some times wider than the bound on
// the unpaired lines needs, where that is well narrower than a whole row.
search_plan choose_search(const search_sizes& sizes, int32_t band, uint64_t row_memory);

// The plan after the rows within a band found a chain of chain pairings
// and could not show it the longest: the rows within the band that holds
// every chain as long (band_holding), where they cost least by estimate,
// else the whole search by chain ends or the whole rows.
search_plan widen_row_band(const search_sizes& sizes, int32_t chain, uint64_t row_memory);

// Whether the search within plan.band may hold the chain, as far as the
// first plan.band_check_lines old lines tell: those that no chain of them
// pairs in the band are left unpaired, with as many new lines beside the
// lines by which the new view is longer.
bool band_may_hold(const search_plan& plan, const int32_t* old_classes, int32_t old_count,
                   const int32_t* class_list, int32_t new_count);

// The longest chain that find_candidates finds, on the same arguments and
// with the same result at chain_ends[k], by the plan that choose_search
// makes. old_classes holds nothing of use afterwards.
int32_t find_longest_chain(candidate_search& search, int32_t* old_classes, int32_t old_count,
                           const int32_t* class_list, int32_t new_count, int32_t band);

#endif  // OVARN_ENGINE_CHOOSE_SEARCH_H_
