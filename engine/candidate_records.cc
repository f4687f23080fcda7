#include "engine/candidate_records.h"

#include <algorithm>
#include <bit>
#include <cassert>
#include <cstring>
#include <utility>
#include <vector>

void start_candidate_search(candidate_search& search, int32_t old_count) {
  search.chain_ends = table<int32_t>(static_cast<uint64_t>(old_count) + 2);
  search.chain_end_mask = kEveryLevel;
  search.candidate_list = table<candidate_link>(64);
  search.block_old_pos = table<int32_t>(1);
  search.old_step = table<uint16_t>(64);
  search.far_list = table<far_old_line>();
  search.far_count = 0;
  search.candidate_count = 0;
  search.schedule = compaction_schedule{};
}

void keep_last_chain_ends(candidate_search& search, int32_t levels) {
  assert(std::has_single_bit(static_cast<uint32_t>(levels)));
  search.chain_ends = table<int32_t>(static_cast<uint64_t>(levels));
  search.chain_end_mask = levels - 1;
}

candidate candidate_at(const candidate_search& search, int32_t c) {
  const candidate_link link = search.candidate_list[c];
  const uint16_t step = search.old_step[c];
  if (step != kFarStep)
    return candidate{search.block_old_pos[c / 64] + step, link.new_pos, link.prev};
  const far_old_line* far = search.far_list.data();
  const far_old_line* found =
      std::lower_bound(far, far + search.far_count, c,
                       [](const far_old_line& f, int32_t index) { return f.index < index; });
  return candidate{found->old_pos, link.new_pos, link.prev};
}

void pair_chain_lines(const candidate_search& search, int32_t last, int32_t offset,
                      int32_t* paired) {
  for (candidate record = candidate_at(search, last); record.new_pos != 0;
       record = candidate_at(search, record.prev))
    paired[record.old_pos + offset] = record.new_pos + offset;
}

namespace {

// Sets the old line of record c to old_pos, as the next record in order:
// the records of its block before it are set, and no later one. A far one
// is added to far (holding far_count records).
void set_old_pos(candidate_search& search, int32_t c, int32_t old_pos, table<far_old_line>& far,
                 int32_t& far_count) {
  if (c % 64 == 0) search.block_old_pos[c / 64] = old_pos;
  const int64_t step = int64_t{old_pos} - search.block_old_pos[c / 64];
  if (step < kFarStep) {
    search.old_step[c] = static_cast<uint16_t>(step);
    return;
  }
  search.old_step[c] = kFarStep;
  far.make_room(static_cast<uint64_t>(far_count) + 1);
  far[far_count++] = far_old_line{c, old_pos};
}

// The three grow together, the blocks' old lines by whole blocks.
void resize_records(candidate_search& search, uint64_t room) {
  search.old_step.resize(room);
  search.block_old_pos.resize(room / 64);
}

}  // namespace

void reserve_candidates(candidate_search& search, int32_t count) {
  const uint64_t room = (static_cast<uint64_t>(count) + 63) / 64 * 64;
  if (room <= search.old_step.room()) return;
  search.candidate_list.resize(room);
  resize_records(search, room);
}

int32_t add_candidate_slowly(candidate_search& search, int32_t old_pos, int32_t new_pos,
                             int32_t prev) {
  const int32_t c = search.candidate_count;
  if (static_cast<uint64_t>(c) >= search.old_step.room()) {
    search.candidate_list.make_room(static_cast<uint64_t>(c) + 64);
    resize_records(search, search.candidate_list.room() / 64 * 64);
  }
  search.candidate_list[c] = candidate_link{new_pos, prev};
  set_old_pos(search, c, old_pos, search.far_list, search.far_count);
  return search.candidate_count++;
}

namespace {

// A bit per record from word first of the list on, and per word the records
// kept in earlier words, so that the new index of a kept record (its rank
// among the kept) is found at once. The records before word first are not
// looked at; they all stay where they are.
struct kept_records {
  int64_t first;   // the list's word that bits[0] stands for
  uint64_t words;  // the words from first to the list's last
  table<uint64_t> bits;
  table<uint32_t> kept_before;
};

// The new index of record c, which lies at or after word first.
int32_t new_index(const kept_records& kept, int32_t c) {
  const int64_t w = (c >> 6) - kept.first;
  uint64_t earlier = kept.bits[w] & ((uint64_t{1} << (c & 63)) - 1);
  return static_cast<int32_t>(kept.first * 64 + kept.kept_before[w]) + std::popcount(earlier);
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

// The records from 64 * (from / 64) on that the sentinel, the chain ends of
// levels 0..k and held reach, each with its rank among them.
kept_records mark_kept(const candidate_search& search, int32_t k, int32_t held, int32_t from) {
  const int64_t first = from / 64;
  const uint64_t words = static_cast<uint64_t>(search.candidate_count / 64 + 1 - first);
  kept_records kept{first, words, zeroed_table<uint64_t>(words), table<uint32_t>(words)};
  keep(kept, 0);  // the sentinel, which ends every chain
  for (int32_t p = lowest_kept_level(search, k); p <= k; ++p) keep(kept, chain_end(search, p));
  keep(kept, held);
  keep_reached(kept, search.candidate_list.data(), search.candidate_count);
  uint32_t count = 0;
  for (uint64_t w = 0; w < words; ++w) {
    kept.kept_before[w] = count;
    count += static_cast<uint32_t>(std::popcount(kept.bits[w]));
  }
  return kept;
}

// The index of the first record that moves: the records before the first
// word with one dropped stay where they are, and so do their prevs, which
// lie before them. On files much alike they are most of the list.
int32_t first_moved(const kept_records& kept) {
  uint64_t settled = 0;
  while (settled < kept.words && kept.bits[settled] == ~uint64_t{0}) ++settled;
  return static_cast<int32_t>((kept.first + settled) * 64);
}

// The far records of a list being rebuilt: those of the records that stay,
// then those the moved records make anew, as a record may be far from the
// first of its new block and not of its old one.
struct far_records {
  table<far_old_line> list;
  int32_t count;
};

// The far records of the records before index end, which stay.
far_records far_before(const candidate_search& search, int32_t end) {
  const far_old_line* far = search.far_list.data();
  far_records staying{table<far_old_line>(), 0};
  while (staying.count < search.far_count && far[staying.count].index < end) ++staying.count;
  if (staying.count > 0) {
    staying.list = table<far_old_line>(static_cast<uint64_t>(staying.count));
    memcpy(staying.list.data(), far, static_cast<size_t>(staying.count) * sizeof(far_old_line));
  }
  return staying;
}

// Reads the old lines of records in rising order of their indices, while
// they are moved down. A block's first old line is read at the block's first
// record read, before a record written into that block could change it:
// records move down, so the blocks written lie at or below the one read.
struct old_line_reader {
  int32_t block;  // the block whose first old line is held
  int32_t block_first;
  int32_t far_read;  // the far records before it are passed
};

int32_t read_old_line(const candidate_search& search, old_line_reader& reader, int32_t c) {
  if (c / 64 != reader.block) {
    reader.block = c / 64;
    reader.block_first = search.block_old_pos[reader.block];
  }
  const uint16_t step = search.old_step[c];
  if (step != kFarStep) return reader.block_first + step;
  const far_old_line* far = search.far_list.data();
  while (far[reader.far_read].index < c) ++reader.far_read;
  return far[reader.far_read].old_pos;
}

// Moves the kept records from index moved_from on down in their order, their
// prevs and old lines with them, and returns the records then in use. A
// record's prev lies before it, so moving the kept ones down in order never
// overwrites one still to be read; the bits still tell the old indices.
int32_t move_kept_down(candidate_search& search, const kept_records& kept, int32_t moved_from) {
  candidate_link* candidate_list = search.candidate_list.data();
  far_records far = far_before(search, moved_from);
  old_line_reader reader{-1, 0, far.count};
  int32_t to = moved_from;
  for (uint64_t w = static_cast<uint64_t>(moved_from / 64 - kept.first); w < kept.words; ++w) {
    for (uint64_t bits = kept.bits[w]; bits != 0; bits &= bits - 1) {
      int32_t c = static_cast<int32_t>((kept.first + w) * 64 + __builtin_ctzll(bits));
      const int32_t old_pos = read_old_line(search, reader, c);
      candidate_link link = candidate_list[c];
      if (link.prev >= moved_from) link.prev = new_index(kept, link.prev);
      candidate_list[to] = link;
      set_old_pos(search, to, old_pos, far.list, far.count);
      ++to;
    }
  }
  search.far_list = std::move(far.list);
  search.far_count = far.count;
  return to;
}

}  // namespace

int32_t compact_candidates(candidate_search& search, int32_t k, int32_t* held, int32_t from) {
  const kept_records kept = mark_kept(search, k, *held, from);
  const int32_t moved_from = first_moved(kept);
  search.candidate_count = move_kept_down(search, kept, moved_from);
  for (int32_t p = lowest_kept_level(search, k); p <= k; ++p) {
    int32_t& end = chain_end(search, p);
    if (end >= moved_from) end = new_index(kept, end);
  }
  if (*held >= moved_from) *held = new_index(kept, *held);
  return search.candidate_count;
}

namespace {

// The records the list may hold before it is next looked at, when it holds
// kept after a compaction or (without one) as many as when it was full. The
// room left must be a good share of what survived, for the cost per record
// appended to stay a few steps: a part of it (a quarter, or all of it), and
// on small lists up to three times what survived.
int32_t room_after(int64_t kept, int64_t part) {
  constexpr int64_t kSmallRoom = int64_t{3} << 18;
  int64_t room = kept >= kSmallRoom ? kept / part : std::min(kept * 3, kSmallRoom);
  return static_cast<int32_t>(std::min<int64_t>(kept + room, INT32_MAX));
}

}  // namespace

// A list that holds its schedule's limit: compacted where that may drop an
// eighth of it, and the next limit set from what it then holds.
void compact_full_list(candidate_search& search, int32_t k, int32_t& prev) {
  compaction_schedule& schedule = search.schedule;
  // A compaction reads what it looks at, so it is made only where it may
  // drop an eighth of the list. The k + 1 chain ends all stay: on files
  // much alike they are nearly all the records, and the list just grows.
  const int64_t before = search.candidate_count;
  if (before - (int64_t{k} + 1) < before / 8) {
    schedule.record_limit = room_after(before, 4);
    return;
  }
  // Most records that no chain reaches are young: a chain end replaced soon
  // after it was made. So only the records made since the last compaction
  // are looked at, and the whole list once those kept before have grown by
  // a quarter since it was last looked at whole, which keeps the list's
  // peak where whole compactions alone keep it.
  const bool whole = schedule.kept_last - schedule.kept_last_whole >= schedule.kept_last_whole / 4;
  const int32_t from = whole ? 0 : schedule.kept_last;
  const int64_t kept = compact_candidates(search, k, &prev, from);
  schedule.kept_last = static_cast<int32_t>(kept);
  if (whole) schedule.kept_last_whole = schedule.kept_last;
  // One that dropped less than an eighth of what it looked at leaves the
  // list to double.
  const int64_t looked_at = before - from;
  schedule.record_limit = room_after(kept, before - kept < looked_at / 8 ? 1 : 4);
}

bool candidates_hold_together(const candidate_search& search, int32_t from, int32_t k) {
  const int32_t count = search.candidate_count;
  if (count < 1 || k < 0) return false;
  const int32_t lowest = lowest_kept_level(search, k);
  if (lowest == 0 && chain_end(search, 0) != 0) return false;
  const candidate sentinel = candidate_at(search, 0);
  if (sentinel.old_pos != 0 || sentinel.new_pos != 0 || sentinel.prev != 0) return false;
  // Element c: the records on the chain that record c ends, the sentinel's
  // left out.
  std::vector<int32_t> length(static_cast<size_t>(count), 0);
  int32_t last_old = 0;
  for (int32_t c = 1; c < count; ++c) {
    const candidate record = candidate_at(search, c);
    if (record.prev < 0 || record.prev >= c || record.old_pos < last_old) return false;
    const candidate before = candidate_at(search, record.prev);
    if (before.old_pos >= record.old_pos || before.new_pos >= record.new_pos) return false;
    length[static_cast<size_t>(c)] = length[static_cast<size_t>(record.prev)] + 1;
    last_old = record.old_pos;
  }
  int32_t last_new = 0;
  for (int32_t p = std::max({from, lowest, 1}); p <= k; ++p) {
    const int32_t end = chain_end(search, p);
    if (end <= 0 || end >= count || length[static_cast<size_t>(end)] != p) return false;
    const int32_t new_pos = candidate_at(search, end).new_pos;
    if (new_pos <= last_new) return false;
    last_new = new_pos;
  }
  return true;
}
