#include "engine/disjoint_files.h"

#include <fcntl.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "base/block_reader.h"
#include "base/owned_files.h"
#include "base/run_both.h"
#include "port/kernels.h"

namespace {

// Reads the file again and stores the print of line j, its second hash, in
// the view_pos of table entry j; false when the file no longer holds the lines loaded.
bool store_line_prints(const char* path, line_entry* table, int32_t lines) {
  const owned_fd file(open(path, O_RDONLY));
  if (!file.is_open()) return false;
  block_reader reader = make_block_reader(file.get(), 0, path);
  const uint32_t start = line_print_start();
  uint32_t value = start;
  int32_t line = 0;
  while (line <= lines && refill(reader)) {
    const unsigned char* p = reader.bytes.data();
    const unsigned char* end = p + reader.end;
    for (const void* found; (found = memchr(p, '\n', end - p)) != nullptr;) {
      auto* newline = static_cast<const unsigned char*>(found);
      value = line_print(value, p, newline);
      if (++line > lines) break;
      table[line].view_pos = static_cast<int32_t>(value);
      value = start;
      p = newline + 1;
    }
    if (line <= lines) value = line_print(value, p, end);
  }
  return line == lines;
}

// Both hashes of a line as one value.
uint64_t both_hashes(const line_entry& entry) {
  return static_cast<uint64_t>(static_cast<uint32_t>(entry.key)) << 32 |
         static_cast<uint32_t>(entry.view_pos);
}

// A filter of 2^bits bits, some sixteen times as many as the old lines and
// at most 2^24, so that a small pair is not held up clearing a large one.
int filter_bits(int32_t old_lines) {
  return std::clamp(static_cast<int>(std::bit_width(static_cast<uint32_t>(old_lines))) + 4, 10, 24);
}
// The top bits of a value mixed by a multiplication: a place for it among
// 2^bits places.
uint64_t place_of(uint64_t value, int bits) { return (value * 0x9E3779B97F4A7C15u) >> (64 - bits); }

// The bit of the filter that a line sets.
uint64_t filter_bit(uint64_t both, int bits) { return place_of(both, bits); }

// Whether the value of some old line is one of the count values: they go
// into an open-addressed set of twice as many slots, through which every old
// value is looked up. A line hash is never 0, so no value is: 0 marks a free
// slot.
bool any_old_value_among(const line_tables& tables, const uint64_t* values, int32_t count) {
  const int slot_bits = std::bit_width(static_cast<uint32_t>(count)) + 1;
  const uint64_t slots = uint64_t{1} << slot_bits;
  table<uint64_t> slot_table = zeroed_table<uint64_t>(slots);
  uint64_t* set = slot_table.data();
  // The slot that holds value, or the free slot where it would go.
  auto slot_of = [set, slot_bits, slots](uint64_t value) {
    uint64_t at = place_of(value, slot_bits);
    while (set[at] != 0 && set[at] != value) at = (at + 1) & (slots - 1);
    return at;
  };
  for (int32_t n = 0; n < count; ++n) set[slot_of(values[n])] = values[n];
  bool found = false;
  for (int32_t i = 1; i <= tables.line_count[0] && !found; ++i) {
    uint64_t value = both_hashes(tables.line_table[0][i]);
    found = set[slot_of(value)] == value;
  }
  return found;
}

// Whether some value of the old table's lines is among those of the new
// table's lines. A filter of the old values sends most new lines away at
// once; the few that pass are checked against every old value exactly.
bool share_a_value(const line_tables& tables) {
  const line_entry* old_table = tables.line_table[0].data();
  const line_entry* new_table = tables.line_table[1].data();
  const int32_t old_lines = tables.line_count[0];
  const int32_t new_lines = tables.line_count[1];
  const int bits = filter_bits(old_lines);
  const uint64_t words = (uint64_t{1} << bits) / 64;
  table<uint64_t> filter_table = zeroed_table<uint64_t>(words);
  uint64_t* filter = filter_table.data();
  for (int32_t i = 1; i <= old_lines; ++i) {
    uint64_t bit = filter_bit(both_hashes(old_table[i]), bits);
    filter[bit >> 6] |= uint64_t{1} << (bit & 63);
  }
  // More passes than this and the files most likely share lines: the
  // search has to run anyway.
  const int32_t most_passed = std::max(new_lines / 16, 64);
  table<uint64_t> passed(static_cast<uint64_t>(most_passed));
  int32_t passed_count = 0;
  bool shared = false;
  for (int32_t j = 1; j <= new_lines && !shared; ++j) {
    uint64_t both = both_hashes(new_table[j]);
    uint64_t bit = filter_bit(both, bits);
    if ((filter[bit >> 6] >> (bit & 63) & 1) == 0) continue;
    shared = passed_count == most_passed;
    if (!shared) passed[passed_count++] = both;
  }
  filter_table.reset();
  if (!shared && passed_count > 0) shared = any_old_value_among(tables, passed.data(), passed_count);
  return shared;
}

}  // namespace

bool files_share_no_line(const line_rules& rules, const char* old_path, const char* new_path,
                         line_tables& tables) {
  if (loose_rules(rules)) return false;
  const int32_t old_lines = tables.line_count[0];
  const int32_t new_lines = tables.line_count[1];
  if (old_lines == 0 || new_lines == 0) return false;  // the search is short then
  line_entry* old_table = tables.line_table[0].data();
  line_entry* new_table = tables.line_table[1].data();
  // Files that begin or end alike most likely have lines in common.
  if (old_table[1].key == new_table[1].key) return false;
  if (old_table[old_lines].key == new_table[new_lines].key) return false;
  bool old_read = false;
  bool new_read = false;
  // A thread pays for itself from some tens of thousands of lines.
  const bool large = old_lines + new_lines >= 32768;
  run_both(
      large, tables.operand_bytes, [&] { old_read = store_line_prints(old_path, old_table, old_lines); },
      [&] { new_read = store_line_prints(new_path, new_table, new_lines); });
  return old_read && new_read && !share_a_value(tables);
}
