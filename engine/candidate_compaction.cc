#include "engine/candidate_compaction.h"

#include <bit>
#include <cstring>
#include <utility>

#include "base/table.h"

namespace {

// A bit per record from word first of the list on, and per word the bits set
// in earlier words, so that the new index of a kept record (its rank among
// the kept) is found at once. The records before word first are not looked
// at; they all stay where they are.
struct kept_records {
  int64_t first;  // the list's word that bits[0] stands for
  table<uint64_t> bits;
  table<uint32_t> before;
};

// The new index of record c, which lies at or after word first.
int32_t new_index(const kept_records& kept, int32_t c) {
  const int64_t w = (c >> 6) - kept.first;
  uint64_t earlier = kept.bits[w] & ((uint64_t{1} << (c & 63)) - 1);
  return static_cast<int32_t>(kept.first * 64 + kept.before[w]) + std::popcount(earlier);
}

// Keeps record c if it lies at or after word first; the records before it
// stay anyway.
void keep(kept_records& kept, int32_t c) {
  const int64_t w = (c >> 6) - kept.first;
  if (w >= 0) kept.bits[w] |= uint64_t{1} << (c & 63);
}

// Marks every record from word first on that a marked one reaches through
// prev. A prev lies before its record, so one pass from the last record down
// finds them all; it reads the list in order, where following each chain
// would jump about.
void keep_reached(kept_records& kept, const candidate_link* candidate_list, int32_t count) {
  for (int64_t w = (count - 1) / 64; w >= kept.first; --w) {
    // Marks from later words are all in; those within the word, mostly the
    // record just before, go to the word held here.
    uint64_t word = kept.bits[w - kept.first];
    uint64_t unseen = ~uint64_t{0};  // the word's bits not yet looked at
    for (uint64_t open = word; open != 0; open = word & unseen) {
      int bit = 63 - __builtin_clzll(open);
      unseen = (uint64_t{1} << bit) - 1;
      int32_t prev = candidate_list[w * 64 + bit].prev;
      if (prev >> 6 == w)
        word |= uint64_t{1} << (prev & 63);
      else
        keep(kept, prev);
    }
    kept.bits[w - kept.first] = word;
  }
}

}  // namespace

int32_t compact_candidates(candidate_search& search, int32_t k, int32_t* held, int32_t from) {
  candidate_link* candidate_list = search.candidate_list.data();
  const int32_t candidate_count = search.candidate_count;
  int32_t* ends = search.chain_ends.data();
  const int64_t first = from / 64;
  const uint64_t words = static_cast<uint64_t>(candidate_count / 64 + 1 - first);
  kept_records kept{first, zeroed_table<uint64_t>(words), table<uint32_t>(words)};
  keep(kept, 0);  // the sentinel, which ends every chain
  for (int32_t p = 0; p <= k; ++p) keep(kept, ends[p]);
  keep(kept, *held);
  keep_reached(kept, candidate_list, candidate_count);

  uint32_t count = 0;
  for (uint64_t w = 0; w < words; ++w) {
    kept.before[w] = count;
    count += static_cast<uint32_t>(std::popcount(kept.bits[w]));
  }
  // The records before the first one dropped stay where they are, and so
  // do their prevs, which lie before them: on files much alike they are
  // most of the list. A record's prev lies before it, so moving the kept
  // ones down in order never overwrites one still to be read; the bits
  // still tell the old indices.
  uint64_t settled = 0;
  while (settled < words && kept.bits[settled] == ~uint64_t{0}) ++settled;
  const int32_t moved_from = static_cast<int32_t>((first + settled) * 64);
  // The old lines move with their records, in whole blocks from moved_from.
  // A block's first old line is read before a record written into that
  // block could change it: records move down, so the blocks written lie at
  // or below the one read. The far records go to a new list, as a record
  // may be far from the first of its new block and not of its old one.
  const far_old_line* old_far = search.far_list.data();
  int32_t far_read = 0;
  while (far_read < search.far_count && old_far[far_read].index < moved_from) ++far_read;
  table<far_old_line> far;
  int32_t far_count = 0;
  if (far_read > 0) {
    far = table<far_old_line>(static_cast<uint64_t>(far_read));
    memcpy(far.data(), old_far, static_cast<size_t>(far_read) * sizeof(far_old_line));
    far_count = far_read;
  }
  int32_t block = -1;       // the block whose first old line is held
  int32_t block_first = 0;
  int32_t to = moved_from;
  for (uint64_t w = settled; w < words; ++w) {
    for (uint64_t bits = kept.bits[w]; bits != 0; bits &= bits - 1) {
      int32_t c = static_cast<int32_t>((first + w) * 64 + __builtin_ctzll(bits));
      if (c / 64 != block) {
        block = c / 64;
        block_first = search.block_old_pos[block];
      }
      const uint16_t step = search.old_step[c];
      int32_t old_pos = block_first + step;
      if (step == kFarStep) {
        while (old_far[far_read].index < c) ++far_read;
        old_pos = old_far[far_read].old_pos;
      }
      candidate_link link = candidate_list[c];
      if (link.prev >= moved_from) link.prev = new_index(kept, link.prev);
      candidate_list[to] = link;
      set_old_pos(search, to, old_pos, far, far_count);
      ++to;
    }
  }
  search.far_list = std::move(far);
  search.far_count = far_count;
  for (int32_t p = 0; p <= k; ++p)
    if (ends[p] >= moved_from) ends[p] = new_index(kept, ends[p]);
  if (*held >= moved_from) *held = new_index(kept, *held);
  search.candidate_count = to;
  return to;
}
