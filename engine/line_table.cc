#include "engine/line_table.h"

#include "cli/exit_run.h"
#include "cli/run_options.h"
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

// Folds the 64-bit sum into the line's hash, twice 16 bits onto 16 bits.
int32_t fold_sum(uint64_t sum) {
  uint64_t t = (sum >> 16) + (sum & 0xFFFF);
  return static_cast<int32_t>(static_cast<uint32_t>((t >> 16) + (t & 0xFFFF)));
}

// Every byte counts as itself.
int32_t hash_plain_line(FILE* stream) {
  uint64_t sum = 1;
  unsigned shift = 0;
  for (;;) {
    int b = getc_unlocked(stream);
    if (b == '\n') return fold_sum(sum);
    if (b == EOF) return 0;
    sum += static_cast<uint64_t>(b) << shift;
    shift = (shift + 7) & 15;  // the shift cycles through 16 positions
  }
}

// Every byte counts through the byte map (-i without -b or -w).
int32_t hash_mapped_line(FILE* stream, const unsigned char* map) {
  uint64_t sum = 1;
  unsigned shift = 0;
  for (;;) {
    int b = getc_unlocked(stream);
    if (b == '\n') return fold_sum(sum);
    if (b == EOF) return 0;
    sum += static_cast<uint64_t>(map[b]) << shift;
    shift = (shift + 7) & 15;
  }
}

// Spaces and tabs count for nothing; under -b (without -w) a run of them
// before a counted byte moves that byte's shift on by 7 instead.
int32_t hash_blank_line(FILE* stream, const unsigned char* map, bool mark_runs) {
  uint64_t sum = 1;
  unsigned shift = 0;
  bool pending_blanks = false;
  for (;;) {
    int b = getc_unlocked(stream);
    if (b == '\n') return fold_sum(sum);
    if (b == EOF) return 0;
    if (b == ' ' || b == '\t') {
      pending_blanks = true;
      continue;
    }
    if (mark_runs && pending_blanks) {
      shift += 7;
      pending_blanks = false;
    }
    shift &= 15;
    sum += static_cast<uint64_t>(map[b]) << shift;
    shift += 7;
  }
}

}  // namespace

int32_t hash_next_line(FILE* stream) {
  if (options.blank_runs || options.all_blanks)
    return hash_blank_line(stream, char_map, options.all_blanks == 0);
  if (options.fold_case) return hash_mapped_line(stream, char_map);
  return hash_plain_line(stream);
}

void load_line_table(int file, FILE* stream) {
  fseek(stream, 0, SEEK_SET);
  uint64_t capacity = 3;
  auto* table = static_cast<line_entry*>(checked_alloc(table_size(capacity, sizeof(line_entry))));
  int32_t count = 0;
  for (int32_t hash; (hash = hash_next_line(stream)) != 0;) {
    // One more line and the two spare entries after it.
    uint64_t needed = static_cast<uint64_t>(count) + 1 + 3;
    table = static_cast<line_entry*>(grow_table(table, needed, sizeof(line_entry), &capacity));
    table[++count].key = hash;
  }
  // The table keeps exactly its lines and the three entries around them.
  uint32_t size = table_size(static_cast<uint64_t>(count) + 3, sizeof(line_entry));
  line_table[file] = static_cast<line_entry*>(checked_realloc(table, size));
  line_count[file] = count;
}
