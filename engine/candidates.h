// The candidate search: a longest common subsequence of the two pruned views,
// line hashes standing for lines, and the match vector built from it.
//
// For every length p the search keeps the chain of pairings of length p that
// ends at the smallest new line found so far; chains are linked through the
// candidates' predecessor indices, and held as records (candidate_records.h)
// that the search appends and that drop those no chain reaches any more.
#ifndef OVARN_ENGINE_CANDIDATES_H_
#define OVARN_ENGINE_CANDIDATES_H_

#include <cstdint>

#include "base/table.h"
#include "engine/candidate_records.h"
#include "engine/equivalence.h"
#include "engine/match_result.h"

// The new lines at which the chains end: level p (p = 0..k, rising
// strictly) ends at the new_pos of its chain end, and every 64th of them is
// copied to sample[p / 64], a small index that the search reads first.
// Without a ring (ring_mask kEveryLevel) pos[p] holds level p. A search in
// a band keeps only the last ring_mask + 1 levels, at pos[p & ring_mask],
// the first kRingMirror elements repeated after the last, so that the
// levels from any one on lie in a row for as many.
constexpr int32_t kRingMirror = 64;
struct chain_positions {
  int32_t* pos;
  int32_t* sample;
  int32_t ring_mask = kEveryLevel;
};

// Level p and the levels after it, in a row.
inline int32_t* level_pos(const chain_positions& chain, int32_t p) {
  return chain.pos + static_cast<uint32_t>(p & chain.ring_mask);
}

// Level p of the chains now ends at new line y.
void set_chain_position(chain_positions& chain, int32_t p, int32_t y);

// Searches the chain levels 1..k, not the records, for where a pairing with
// new line y goes: the smallest p with p = k + 1 or level p not ending
// below y, the level it lengthens (k + 1) or whose end it may replace. With
// a ring, the levels kept must take in the 64 from 64 j + 1 on that hold
// the answer.
int32_t search_candidates(const chain_positions& chain, int32_t k, int32_t y);

// The same, for a y above the end of level floor (0 <= floor <= k): the answer
// lies above floor, and is looked for from there in growing steps, which
// is quick when it lies close, as it does for the next line of a class.
int32_t search_candidates_above(const chain_positions& chain, int32_t k, int32_t y, int32_t floor);

// Runs the search over old view lines 1..old_count and the new_count lines
// of the new view in class_list; returns k, the length of the longest
// chain, whose last candidate is search.chain_ends[k]. Only the records that
// some chain end reaches are kept, renumbered in their order; every chain
// reads as if none had been dropped. The search keeps its own books in the
// storage of old_classes, which holds nothing of use afterwards.
int32_t find_candidates(candidate_search& search, int32_t* old_classes, int32_t old_count,
                        const int32_t* class_list, int32_t new_count);

// The limits a search by chain ends runs within. With a band, old line i
// pairs only with new lines less than band away from line i; kNoBand pairs
// every line with every line of its class. The search is given up when it
// is bound to take more than step_limit steps (a line of a class looked at,
// or an old line); kNoStepLimit never gives it up for its steps.
constexpr int32_t kNoBand = 0;
constexpr uint64_t kNoStepLimit = UINT64_MAX;
struct search_limits {
  int32_t band = kNoBand;  // at least 1, or kNoBand
  uint64_t step_limit = kNoStepLimit;
};

inline bool has_band(const search_limits& limits) { return limits.band != kNoBand; }

// find_candidates within limits: given up past the step limit, and with a
// band given up as well unless the chain it finds leaves fewer than
// band - 1 lines of both views unpaired; given up, it returns -1, with
// search and old_classes of no further use. A search in a band keeps its
// books apart, in a ring of the levels near the longest, and leaves
// old_classes as they were.
//
// Why a chain found within the band is the whole search's at level k: a
// chain through a pair of lines at distance d >= band leaves at least
// 2 d - |S1 - S2| >= 2 band - |S1 - S2| lines unpaired, which is more than
// band + 1 as the chain found leaves at least |S1 - S2|; and that chain
// leaves fewer than band - 1. So no such chain is as long as the one found,
// and the whole search's chain at level k and the pairs it looks at to
// choose it (each on a chain of length k) lie within the band.
int32_t find_candidates_within(candidate_search& search, int32_t* old_classes, int32_t old_count,
                               const int32_t* class_list, int32_t new_count,
                               const search_limits& limits);

// Allocates result.match_vector (line_count[0] + 2 elements).
void allocate_match_vector(match_result& result);

// Fills result.match_vector from the common prefix and suffix of classes
// and the chain of search that ends at candidate last.
void build_match_vector(const candidate_search& search, int32_t last,
                        const line_classes& classes, match_result& result);

#endif  // OVARN_ENGINE_CANDIDATES_H_
