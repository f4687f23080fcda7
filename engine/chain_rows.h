// The candidate search's longest chain found from rows of bits, for views
// whose lines fall in a few large classes.
//
// Row i holds a bit per new view line j: set where L(i, j), the length of
// the longest common subsequence of old lines 1..i and new lines 1..j,
// rises from L(i, j - 1). A row follows from the one before in a few word
// operations per 64 new lines, however many lines the old line's class
// holds, where the search by chain ends takes a step for most of them.
//
// The rows tell the same chain. After old line i, the search's level s ends
// at the smallest new line j with L(i, j) = s, the s-th rise of row i; its
// record there was made at the first old line i' with L(i', j) = s; and
// that record's predecessor is level s - 1's end as it stood before line i'.
// So the chain that ends the longest level is read back from the last row
// up, with the rows recomputed in blocks from rows kept every so often.
#ifndef OVARN_ENGINE_CHAIN_ROWS_H_
#define OVARN_ENGINE_CHAIN_ROWS_H_

#include <cstdint>

#include "engine/candidates.h"

// The row words the search by rows computes for old_count old lines and
// new_count new lines, once forward and once more on the way back; 0 where
// its rows would take more memory or time than it is allowed.
uint64_t chain_rows_cost(int32_t old_count, int32_t new_count);

// For a search started by start_candidate_search, on the same classes as
// find_candidates: puts the chain that find_candidates leaves at its longest
// level in records 1..k, record s pairing at level s, and returns k, with
// chain_ends[k] = k. The other levels' chains are not kept. old_classes is
// only read. chain_rows_cost must allow the sizes.
int32_t find_chain_by_rows(candidate_search& search, const int32_t* old_classes,
                           int32_t old_count, const int32_t* class_list, int32_t new_count);

// The band find_longest_chain tries first where a view is longer: files
// much alike pair within it.
constexpr int32_t kChainBand = 8192;

// The longest chain that find_candidates finds, on the same arguments and
// with the same result at chain_ends[k]: by the search by chain ends within
// band first (see find_candidates_within), where a view is longer than
// band; where that is given up, by the whole search, unless the rows would
// do and it proves to take many more steps than the rows take word steps,
// when it is given up for the rows. old_classes holds nothing of use
// afterwards.
int32_t find_longest_chain(candidate_search& search, int32_t* old_classes, int32_t old_count,
                           const int32_t* class_list, int32_t new_count, int32_t band);

#endif  // OVARN_ENGINE_CHAIN_ROWS_H_
