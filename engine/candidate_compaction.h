// Dropping the candidate records that no chain can reach any more.
//
// The search appends a record for every pairing that lengthens or replaces a
// chain end, so on files with many equal lines most records soon lie on no
// chain that still ends anywhere: only the records reachable from chain_ends
// through prev can ever be read again. Compaction keeps exactly those, in
// their order, and renumbers them, so every chain reads as before through
// the new indices.
#ifndef OVARN_ENGINE_CANDIDATE_COMPACTION_H_
#define OVARN_ENGINE_CANDIDATE_COMPACTION_H_

#include <cstdint>

#include "engine/candidates.h"

// Looks at the records of search.candidate_list from 64 * (from / 64) on:
// from is rounded down to the first record of its block of 64, as the old
// lines are kept by blocks. Of those it keeps the ones reachable through
// prev from search.chain_ends[0..k] and from *held (a record the caller
// still names), moves them down in their order, and rewrites their prev,
// chain_ends[0..k] and *held to the new indices. The records before
// 64 * (from / 64) all stay where they are, with their indices: no prev
// leads from them to a later record, so a compaction may look at the
// records made since the last one alone, where most of those that no chain
// reaches lie. Sets candidate_count to the records kept and returns it.
int32_t compact_candidates(candidate_search& search, int32_t k, int32_t* held, int32_t from);

#endif  // OVARN_ENGINE_CANDIDATE_COMPACTION_H_
