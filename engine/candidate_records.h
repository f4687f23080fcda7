// The records of a search for the longest chain, and the chain ends that
// name them: one record per pairing that lengthened or replaced a chain end,
// each naming the record before it on its chain.
//
// Records are appended in the order of their old lines. While a search runs,
// those that no chain end reaches any more are dropped now and then, and the
// rest moved down in their order and renumbered, their prev and chain_ends
// rewritten to the new indices: the pairing a record holds stays, its index
// and its prev's index do not. So the list stays within a bound of what the
// chains can reach. The searches read and write records through the
// operations below alone; the tables that hold them are this file's own.
#ifndef OVARN_ENGINE_CANDIDATE_RECORDS_H_
#define OVARN_ENGINE_CANDIDATE_RECORDS_H_

#include <algorithm>
#include <cstdint>

#include "base/table.h"

// A pairing as the search made it, as candidate_at reads it back.
struct candidate {
  int32_t old_pos;  // old view position, 1..S1
  int32_t new_pos;  // new view position, 1..S2
  int32_t prev;     // index of the candidate before it on its chain; 0 ends
};

// The link of a record: its new line and the record before it.
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

// The mask of chain_ends that keeps every level at its own element.
constexpr int32_t kEveryLevel = -1;

// When add_candidate_compacting next looks at the list, and what the last
// compactions kept.
struct compaction_schedule {
  int32_t record_limit = int32_t{1} << 16;  // looked at when it holds this many
  // The records kept by the last compaction, and by the last one that looked
  // at the whole list; those made since the last one are the young.
  int32_t kept_last = 0;
  int32_t kept_last_whole = 0;
};

// The records of one search and its chain ends.
struct candidate_search {
  // The links of the records, not whole candidates: element c holds record
  // c's new line and prev, its old line being kept apart below. Index 0 is
  // the sentinel, which ends every chain; candidate_count records are in use.
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
  // Element p & chain_end_mask: index of the record ending the best chain
  // of length p. With the mask kEveryLevel every level has its element; a
  // search in a band keeps only the last chain_end_mask + 1 levels, the
  // others being done with, in a ring.
  table<int32_t> chain_ends;
  int32_t chain_end_mask = kEveryLevel;
  compaction_schedule schedule;
};

// chain_ends for old_count old view lines (old_count + 2 elements) and no
// records, ready for a search, which appends the sentinel first.
void start_candidate_search(candidate_search& search, int32_t old_count);

// chain_ends as a ring of levels elements (a power of two) in place of one
// element a level: only the last levels levels are kept from then on.
void keep_last_chain_ends(candidate_search& search, int32_t levels);

// The element of chain_ends that holds level p.
inline int32_t& chain_end(candidate_search& search, int32_t p) {
  return search.chain_ends[static_cast<uint32_t>(p & search.chain_end_mask)];
}
inline int32_t chain_end(const candidate_search& search, int32_t p) {
  return search.chain_ends[static_cast<uint32_t>(p & search.chain_end_mask)];
}

// The lowest level of 0..k whose chain end chain_ends still holds.
inline int32_t lowest_kept_level(const candidate_search& search, int32_t k) {
  return search.chain_end_mask == kEveryLevel ? 0 : std::max(0, k - search.chain_end_mask);
}

// Record c, with its old line.
candidate candidate_at(const candidate_search& search, int32_t c);

// Reads the chain that ends at record last down to the sentinel: for each
// record on it, paired[old_pos + offset] = new_pos + offset.
void pair_chain_lines(const candidate_search& search, int32_t last, int32_t offset,
                      int32_t* paired);

// add_candidate for a record that opens a block of 64, finds no room, or
// lies too far beyond its block's first old line for a step.
int32_t add_candidate_slowly(candidate_search& search, int32_t old_pos, int32_t new_pos,
                             int32_t prev);

// Appends {old_pos, new_pos, prev}, old_pos being no less than the last
// record's; returns the new record's index. The searches append a record
// for most old lines, so the common case is inlined where they call it.
inline int32_t add_candidate(candidate_search& search, int32_t old_pos, int32_t new_pos,
                             int32_t prev) {
  const int32_t c = search.candidate_count;
  if (c % 64 != 0 && static_cast<uint64_t>(c) < search.old_step.room()) {
    const int64_t step = int64_t{old_pos} - search.block_old_pos[c / 64];
    if (step < kFarStep) {
      search.candidate_list[c] = candidate_link{new_pos, prev};
      search.old_step[c] = static_cast<uint16_t>(step);
      return search.candidate_count++;
    }
  }
  return add_candidate_slowly(search, old_pos, new_pos, prev);
}

// Rids a list grown to its schedule's limit of the records that no chain
// end of the levels 0..k reaches, where that pays, the one named by prev
// kept with them and prev renumbered; sets the next limit.
void compact_full_list(candidate_search& search, int32_t k, int32_t& prev);

// add_candidate for a search whose chains end at the levels 0..k that
// chain_ends holds: a list grown past its schedule's limit is first rid of
// the records that no chain end reaches, as compact_candidates does, the one
// named by prev kept with them and prev renumbered.
inline int32_t add_candidate_compacting(candidate_search& search, int32_t k, int32_t old_pos,
                                        int32_t new_pos, int32_t& prev) {
  if (search.candidate_count >= search.schedule.record_limit) compact_full_list(search, k, prev);
  return add_candidate(search, old_pos, new_pos, prev);
}

// Room for count records in all, so that appending up to them takes no more.
void reserve_candidates(candidate_search& search, int32_t count);

// Looks at the records from 64 * (from / 64) on: from is rounded down to the
// first record of its block of 64, as the old lines are kept by blocks. Of
// those it keeps the ones reachable through prev from the ends of the
// levels 0..k that chain_ends holds and from *held (a record the caller
// still names), moves them down in their order, and rewrites their prev,
// those chain ends and *held to the new indices. The records before
// 64 * (from / 64) all stay where they are, with their indices: no prev
// leads from them to a later record, so a compaction may look at the
// records made since the last one alone, where most of those that no chain
// reaches lie. Sets candidate_count to the records kept and returns it.
int32_t compact_candidates(candidate_search& search, int32_t k, int32_t* held, int32_t from);

// Whether the records and the chains hold together as the searches leave
// them: record 0 is the sentinel; records lie in the order of their old
// lines; each record's prev lies before it, at a lower old and a lower new
// line; the chain from the end of level p is p records long before the
// sentinel, and those ends' new lines rise with p, for the levels p of
// from..k that chain_ends holds (the search by rows keeps level k alone:
// from = k). It reads every record once; the random tests call it, and
// debug builds after each search.
bool candidates_hold_together(const candidate_search& search, int32_t from, int32_t k);

#endif  // OVARN_ENGINE_CANDIDATE_RECORDS_H_
