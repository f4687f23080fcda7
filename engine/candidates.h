// The candidate search: a longest common subsequence of the two pruned views,
// line hashes standing for lines, and the match vector built from it.
//
// For every length p the search keeps the chain of pairings of length p that
// ends at the smallest new line found so far; chains are linked through the
// candidates' predecessor indices. Records are appended in the order of
// their old lines. While the search runs, those that no chain reaches any
// more are dropped now and then, and the rest moved down in their order and
// renumbered, their prev and chain_ends rewritten to the new indices (see
// candidate_compaction.h): the pairing a record holds stays, its index and
// its prev's index do not. So the list stays within a bound of what the
// chains can reach.
#ifndef OVARN_ENGINE_CANDIDATES_H_
#define OVARN_ENGINE_CANDIDATES_H_

#include <cstdint>

#include "base/table.h"
#include "engine/equivalence.h"
#include "engine/match_result.h"

// A pairing as the search made it.
struct candidate {
  int32_t old_pos;  // old view position, 1..S1
  int32_t new_pos;  // new view position, 1..S2
  int32_t prev;     // index of the candidate before it on its chain; 0 ends
};

// What the list holds of a record at its index; its old line is kept apart.
struct candidate_link {
  int32_t new_pos;
  int32_t prev;
};

// A record whose old line lies too far beyond its block's first for a step.
struct far_old_line {
  int32_t index;
  int32_t old_pos;
};

// The step of a record listed in far_list.
constexpr uint16_t kFarStep = 0xFFFF;

// The records of one search.
struct candidate_search {
  // Index 0 is the sentinel {0, 0, 0}; candidate_count records are in use.
  table<candidate_link> candidate_list;
  int32_t candidate_count = 0;
  // Records are made in the order of their old lines, and stay in it, so a
  // record's old line is kept as a 16-bit step beyond the old line of the
  // first record of its 64 (block_old_pos[index / 64]); a step that does not
  // fit is kFarStep, and the record is in far_list, in index order.
  table<int32_t> block_old_pos;
  table<uint16_t> old_step;
  table<far_old_line> far_list;
  int32_t far_count = 0;
  // Element p: index of the candidate ending the best chain of length p.
  table<int32_t> chain_ends;
};

// Record c, with its old line.
candidate candidate_at(const candidate_search& search, int32_t c);

// chain_ends for old_count old view lines (old_count + 2 elements) and an
// empty one-record candidate_list, ready for find_candidates.
void start_candidate_search(candidate_search& search, int32_t old_count);

// Appends {old_pos, new_pos, prev}, old_pos being no less than the last
// record's; returns the new record's index.
int32_t add_candidate(candidate_search& search, int32_t old_pos, int32_t new_pos, int32_t prev);

// Room for count records in all, so that appending up to them takes no more.
void reserve_candidates(candidate_search& search, int32_t count);

// Sets the old line of record c to old_pos, as the next record in order:
// the records of its block before it are set, and no later one. A far one
// is added to far (holding far_count records).
void set_old_pos(candidate_search& search, int32_t c, int32_t old_pos, table<far_old_line>& far,
                 int32_t& far_count);

// The new lines at which the chains end: pos[p] is the new_pos of the
// candidate at chain_ends[p] (p = 0..k, rising strictly), and every 64th of
// them is copied to sample[p / 64], a small index that the search reads first.
struct chain_positions {
  int32_t* pos;
  int32_t* sample;
};

// Level p of the chains now ends at new line y.
void set_chain_position(chain_positions& chain, int32_t p, int32_t y);

// The smallest p in 1..k + 1 with p = k + 1 or chain.pos[p] not less than y.
int32_t search_candidates(const chain_positions& chain, int32_t k, int32_t y);

// The same, for a y above chain.pos[floor] (0 <= floor <= k): the answer
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

// Whether the records and the chains hold together as the searches leave
// them: record 0 is the sentinel; records lie in the order of their old
// lines; each record's prev lies before it, at a lower old and a lower new
// line; the chain from chain_ends[p] is p records long before the sentinel
// for p = from..k, and those chain ends' new lines rise with p (the search
// by rows keeps level k alone: from = k). It reads every record once; the
// random tests call it, and debug builds after each search.
bool candidates_hold_together(const candidate_search& search, int32_t from, int32_t k);

// Allocates result.match_vector (line_count[0] + 2 elements).
void allocate_match_vector(match_result& result);

// Fills result.match_vector from the common prefix and suffix of classes
// and the chain of search that ends at candidate last.
void build_match_vector(const candidate_search& search, int32_t last,
                        const line_classes& classes, match_result& result);

#endif  // OVARN_ENGINE_CANDIDATES_H_
