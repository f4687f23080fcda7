#include "engine/line_table.h"

#include <cstring>

#include "cli/exit_run.h"
#include "cli/run_options.h"
#include "engine/new_table.h"
#include "engine/table_growth.h"

// Sixteen consecutive byte values starting at b.
#define BYTE_ROW(b)                                                          \
  (b) + 0, (b) + 1, (b) + 2, (b) + 3, (b) + 4, (b) + 5, (b) + 6, (b) + 7,    \
      (b) + 8, (b) + 9, (b) + 10, (b) + 11, (b) + 12, (b) + 13, (b) + 14, (b) + 15

const unsigned char identity_map[256] = {
    BYTE_ROW(0x00), BYTE_ROW(0x10), BYTE_ROW(0x20), BYTE_ROW(0x30),
    BYTE_ROW(0x40), BYTE_ROW(0x50), BYTE_ROW(0x60), BYTE_ROW(0x70),
    BYTE_ROW(0x80), BYTE_ROW(0x90), BYTE_ROW(0xA0), BYTE_ROW(0xB0),
    BYTE_ROW(0xC0), BYTE_ROW(0xD0), BYTE_ROW(0xE0), BYTE_ROW(0xF0),
};

// 0x40-0x5F fold onto 0x60-0x7F: the capitals and the five signs around them.
const unsigned char fold_map[256] = {
    BYTE_ROW(0x00), BYTE_ROW(0x10), BYTE_ROW(0x20), BYTE_ROW(0x30),
    BYTE_ROW(0x60), BYTE_ROW(0x70), BYTE_ROW(0x60), BYTE_ROW(0x70),
    BYTE_ROW(0x80), BYTE_ROW(0x90), BYTE_ROW(0xA0), BYTE_ROW(0xB0),
    BYTE_ROW(0xC0), BYTE_ROW(0xD0), BYTE_ROW(0xE0), BYTE_ROW(0xF0),
};

#undef BYTE_ROW

const unsigned char* char_map = identity_map;
line_entry* line_table[2] = {nullptr, nullptr};
int32_t line_count[2] = {0, 0};

namespace {

// The hash of a line so far. Both readers below feed it the same bytes in
// the same order, so they give the same hashes.
struct line_hash {
  uint64_t sum = 1;
  unsigned shift = 0;  // kept below 16 between bytes
  bool pending_blanks = false;
};

// How the options make a byte count.
struct hash_mode {
  bool blank_modes;         // -b or -w: spaces and tabs count for nothing
  bool mark_runs;           // -b without -w: a run of them moves the shift on
  const unsigned char* map; // the byte's value
};

hash_mode current_mode() {
  bool blank_modes = options.blank_runs || options.all_blanks;
  // Without -b, -w or -i the byte counts as itself.
  const unsigned char* map = blank_modes || options.fold_case ? char_map : identity_map;
  return hash_mode{blank_modes, blank_modes && options.all_blanks == 0, map};
}

// The shift of each byte of a run of 16 counted bytes that starts at shift 0.
constexpr unsigned kRunShifts[16] = {0, 7, 14, 5, 12, 3, 10, 1, 8, 15, 6, 13, 4, 11, 2, 9};

// Takes the bytes [p, end) of a line, none of them its newline.
inline void feed_bytes(line_hash& hash, const unsigned char* p, const unsigned char* end,
                       const hash_mode& mode) {
  uint64_t sum = hash.sum;
  unsigned shift = hash.shift;
  if (!mode.blank_modes) {
    // Every byte counts, so the shift runs through its 16 positions once per
    // 16 bytes: whole runs of 16 take fixed shifts and add up independently.
    if (shift == 0) {
      const bool as_is = mode.map == identity_map;
      for (; end - p >= 16; p += 16) {
        uint64_t run = 0;
        for (int k = 0; k < 16; ++k)
          run += static_cast<uint64_t>(as_is ? p[k] : mode.map[p[k]]) << kRunShifts[k];
        sum += run;
      }
    }
    for (; p < end; ++p) {
      sum += static_cast<uint64_t>(mode.map[*p]) << shift;
      shift = (shift + 7) & 15;  // the shift cycles through 16 positions
    }
  } else {
    bool pending = hash.pending_blanks;
    for (; p < end; ++p) {
      unsigned char b = *p;
      if (b == ' ' || b == '\t') {
        pending = true;
        continue;
      }
      if (mode.mark_runs && pending) shift = (shift + 7) & 15;
      pending = false;
      sum += static_cast<uint64_t>(mode.map[b]) << shift;
      shift = (shift + 7) & 15;
    }
    hash.pending_blanks = pending;
  }
  hash.sum = sum;
  hash.shift = shift;
}

// Folds the 64-bit sum into the line's hash, twice 16 bits onto 16 bits.
int32_t fold_sum(uint64_t sum) {
  uint64_t t = (sum >> 16) + (sum & 0xFFFF);
  return static_cast<int32_t>(static_cast<uint32_t>((t >> 16) + (t & 0xFFFF)));
}

// Reads the file in large blocks and hashes each line where it lies in the
// block; a line that runs over the end of a block goes on in the next one.
// Calls take(hash) for every line ended by a newline.
template <typename Take>
void hash_all_lines(FILE* stream, Take take) {
  static unsigned char block[1 << 16];
  const hash_mode mode = current_mode();
  line_hash hash;
  for (size_t count; (count = fread(block, 1, sizeof block, stream)) > 0;) {
    const unsigned char* p = block;
    const unsigned char* end = block + count;
    while (p < end) {
      auto* newline = static_cast<const unsigned char*>(memchr(p, '\n', end - p));
      feed_bytes(hash, p, newline != nullptr ? newline : end, mode);
      if (newline == nullptr) break;
      take(fold_sum(hash.sum));
      hash = line_hash{};
      p = newline + 1;
    }
  }
  // A last line without its newline is dropped.
}

}  // namespace

int32_t hash_next_line(FILE* stream) {
  const hash_mode mode = current_mode();
  line_hash hash;
  for (;;) {
    int b = getc_unlocked(stream);
    if (b == '\n') return fold_sum(hash.sum);
    if (b == EOF) return 0;
    auto byte = static_cast<unsigned char>(b);
    feed_bytes(hash, &byte, &byte + 1, mode);
  }
}

void load_line_table(int file, FILE* stream) {
  fseek(stream, 0, SEEK_SET);
  uint64_t capacity = 3;
  auto* table = static_cast<line_entry*>(new_table(capacity, sizeof(line_entry)));
  int32_t count = 0;
  hash_all_lines(stream, [&](int32_t hash) {
    // One more line and the two spare entries after it.
    uint64_t needed = static_cast<uint64_t>(count) + 1 + 3;
    table = static_cast<line_entry*>(grow_table(table, needed, sizeof(line_entry), &capacity));
    table[++count].key = hash;
  });
  // The table keeps exactly its lines and the three entries around them.
  line_table[file] = static_cast<line_entry*>(
      resize_table(table, static_cast<uint64_t>(count) + 3, sizeof(line_entry)));
  line_count[file] = count;
}
