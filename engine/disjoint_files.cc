#include "engine/disjoint_files.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "cli/exit_run.h"
#include "cli/run_options.h"
#include "cli/run_state.h"
#include "engine/line_table.h"
#include "engine/new_table.h"
#include "engine/run_both.h"

namespace {

// A second hash of each line, independent of the line hash: the CRC-32C of
// its bytes where the processor computes it, else FNV-1a. Equal lines get
// equal values under either, and both files go through the same one.

#if defined(__x86_64__) && defined(__GNUC__)
__attribute__((target("sse4.2"))) uint32_t crc_bytes(uint32_t crc, const unsigned char* p,
                                                      const unsigned char* end) {
  uint64_t wide = crc;
  for (; end - p >= 8; p += 8) {
    uint64_t word;
    memcpy(&word, p, 8);
    wide = _mm_crc32_u64(wide, word);
  }
  auto narrow = static_cast<uint32_t>(wide);
  for (; p < end; ++p) narrow = _mm_crc32_u8(narrow, *p);
  return narrow;
}
bool have_crc() {
  static const bool have = __builtin_cpu_supports("sse4.2");
  return have;
}
#else
uint32_t crc_bytes(uint32_t crc, const unsigned char*, const unsigned char*) { return crc; }
bool have_crc() { return false; }
#endif

uint32_t fnv_bytes(uint32_t hash, const unsigned char* p, const unsigned char* end) {
  for (; p < end; ++p) hash = (hash ^ *p) * 16777619u;
  return hash;
}

uint32_t print_bytes(uint32_t value, const unsigned char* p, const unsigned char* end) {
  return have_crc() ? crc_bytes(value, p, end) : fnv_bytes(value, p, end);
}

// Reads the file again and stores the second hash of line j in the view_pos
// of table entry j; false when the file no longer holds the lines loaded.
bool print_lines(const char* path, line_entry* table, int32_t lines) {
  FILE* stream = fopen(path, "r");
  if (stream == nullptr) return false;
  constexpr size_t kBlockBytes = size_t{1} << 16;
  auto* block = static_cast<unsigned char*>(checked_alloc(kBlockBytes));
  const uint32_t start = have_crc() ? 0xFFFFFFFFu : 2166136261u;
  uint32_t value = start;
  int32_t line = 0;
  for (size_t count; line <= lines && (count = fread(block, 1, kBlockBytes, stream)) > 0;) {
    const unsigned char* p = block;
    const unsigned char* end = block + count;
    for (const void* found; (found = memchr(p, '\n', end - p)) != nullptr;) {
      auto* newline = static_cast<const unsigned char*>(found);
      value = print_bytes(value, p, newline);
      if (++line > lines) break;
      table[line].view_pos = static_cast<int32_t>(value);
      value = start;
      p = newline + 1;
    }
    if (line <= lines) value = print_bytes(value, p, end);
  }
  free(block);
  fclose(stream);
  return line == lines;
}

// Both hashes of a line as one value.
uint64_t both_hashes(const line_entry& entry) {
  return static_cast<uint64_t>(static_cast<uint32_t>(entry.key)) << 32 |
         static_cast<uint32_t>(entry.view_pos);
}

// The bit of a filter of 2^kFilterBits bits that a line sets.
constexpr int kFilterBits = 24;
// The top bits of a value mixed by a multiplication: a place for it among
// 2^bits places.
uint64_t place_of(uint64_t value, int bits) { return (value * 0x9E3779B97F4A7C15u) >> (64 - bits); }

uint64_t filter_bit(uint64_t both) { return place_of(both, kFilterBits); }

// Whether the value of some old line is one of the count values: they go
// into an open-addressed set of twice as many slots, through which every old
// value is looked up. A line hash is never 0, so no value is: 0 marks a free
// slot.
bool any_old_value_among(const uint64_t* values, int32_t count) {
  const int slot_bits = std::bit_width(static_cast<uint32_t>(count)) + 1;
  const uint64_t slots = uint64_t{1} << slot_bits;
  auto* set = static_cast<uint64_t*>(new_table(slots, sizeof(uint64_t)));
  memset(set, 0, slots * sizeof(uint64_t));
  // The slot that holds value, or the free slot where it would go.
  auto slot_of = [set, slot_bits, slots](uint64_t value) {
    uint64_t at = place_of(value, slot_bits);
    while (set[at] != 0 && set[at] != value) at = (at + 1) & (slots - 1);
    return at;
  };
  for (int32_t n = 0; n < count; ++n) set[slot_of(values[n])] = values[n];
  bool found = false;
  for (int32_t i = 1; i <= line_count[0] && !found; ++i) {
    uint64_t value = both_hashes(line_table[0][i]);
    found = set[slot_of(value)] == value;
  }
  free_table(set);
  return found;
}

// Whether some value of the old table's lines is among those of the new
// table's lines. A filter of the old values sends most new lines away at
// once; the few that pass are checked against every old value exactly.
bool share_a_value() {
  const line_entry* old_table = line_table[0];
  const line_entry* new_table_ = line_table[1];
  const int32_t old_lines = line_count[0];
  const int32_t new_lines = line_count[1];
  constexpr uint64_t kWords = (uint64_t{1} << kFilterBits) / 64;
  auto* filter = static_cast<uint64_t*>(new_table(kWords, sizeof(uint64_t)));
  memset(filter, 0, kWords * sizeof(uint64_t));
  for (int32_t i = 1; i <= old_lines; ++i) {
    uint64_t bit = filter_bit(both_hashes(old_table[i]));
    filter[bit >> 6] |= uint64_t{1} << (bit & 63);
  }
  // More passes than this and the files most likely share lines: the
  // search has to run anyway.
  const int32_t most_passed = std::max(new_lines / 16, 64);
  auto* passed = static_cast<uint64_t*>(new_table(static_cast<uint64_t>(most_passed), 8));
  int32_t passed_count = 0;
  bool shared = false;
  for (int32_t j = 1; j <= new_lines && !shared; ++j) {
    uint64_t both = both_hashes(new_table_[j]);
    uint64_t bit = filter_bit(both);
    if ((filter[bit >> 6] >> (bit & 63) & 1) == 0) continue;
    shared = passed_count == most_passed;
    if (!shared) passed[passed_count++] = both;
  }
  free_table(filter);
  if (!shared && passed_count > 0) shared = any_old_value_among(passed, passed_count);
  free_table(passed);
  return shared;
}

}  // namespace

bool files_share_no_line() {
  if (options.blank_runs || options.all_blanks || options.fold_case) return false;
  const int32_t old_lines = line_count[0];
  const int32_t new_lines = line_count[1];
  if (old_lines == 0 || new_lines == 0) return false;  // the search is short then
  // Files that begin or end alike most likely have lines in common.
  if (line_table[0][1].key == line_table[1][1].key) return false;
  if (line_table[0][old_lines].key == line_table[1][new_lines].key) return false;
  bool old_read = false;
  bool new_read = false;
  // A thread pays for itself from some tens of thousands of lines.
  const bool large = old_lines + new_lines >= 32768;
  run_both(large, [&old_read] { old_read = print_lines(state.path1, line_table[0], line_count[0]); },
           [&new_read] { new_read = print_lines(state.path2, line_table[1], line_count[1]); });
  return old_read && new_read && !share_a_value();
}
