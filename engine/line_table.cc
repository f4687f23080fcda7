#include "engine/line_table.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "base/block_reader.h"
#include "base/run_both.h"

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

hash_mode mode_of(const line_rules& rules) {
  bool blank_modes = rules.blank_runs || rules.all_blanks;
  // Without -b, -w or -i the byte counts as itself.
  const unsigned char* map = loose_rules(rules) ? rules.char_map : identity_map;
  return hash_mode{blank_modes, blank_modes && !rules.all_blanks, map};
}

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
          run += static_cast<uint64_t>(as_is ? p[k] : mode.map[p[k]]) << kLineRunShifts[k];
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
      // Blanks here are space and tab alone, narrower on purpose than the
      // space class that verification skips: the hash decides which lines
      // may pair, so a carriage return or form feed keeps lines apart.
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

// The line table being filled: entries 1..count hold lines.
struct table_fill {
  table<line_entry> lines;
  int32_t count = 0;
};

// A table holds entry 0, the lines and the two spare entries after them.
void make_room(table_fill& fill, uint64_t lines) {
  fill.lines.make_room(static_cast<uint64_t>(fill.count) + 1 + lines + 2);
}

// The lines the table takes before it must grow.
int64_t room_left(const table_fill& fill) {
  return static_cast<int64_t>(fill.lines.room()) - (int64_t{fill.count} + 1 + 2);
}

void add_line(table_fill& fill, int32_t hash) {
  make_room(fill, 1);
  fill.lines[++fill.count].key = hash;
}

// The marks of the file being loaded.
struct mark_fill {
  table<line_mark> marks;
  int32_t count = 0;
};

void add_mark(mark_fill& fill, int32_t lines_before, int64_t offset) {
  fill.marks.make_room(static_cast<uint64_t>(fill.count) + 1);
  fill.marks[fill.count++] = line_mark{lines_before, offset};
}

static_assert(kReaderPadding >= kKernelPadding);

// Reads the file in large blocks and hashes each line where it lies in the
// block; a line that runs over the end of a block goes on in the next one,
// through the byte-by-byte form of the hash. A last line without its
// newline is dropped.
void hash_all_lines(const line_rules& rules, hash_form form, int fd, const char* path,
                    table_fill& fill, mark_fill& marks) {
  constexpr int kBlocksPerMark = 16;
  constexpr int64_t kLeastPart = 4096;
  block_reader reader = make_block_reader(fd, 0, path);
  const hash_mode mode = mode_of(rules);
  const bool whole_runs = !mode.blank_modes && mode.map == identity_map;
  line_hash hash;
  bool in_line = false;  // a line began in an earlier block
  for (size_t blocks = 0; refill(reader);) {
    const unsigned char* block = reader.bytes.data();
    const unsigned char* p = block;
    const unsigned char* end = block + reader.end;
    bool mark_due = blocks++ % kBlocksPerMark == 0;  // at the first line to begin in the block
    while (p < end) {
      if (mark_due && !in_line) {
        add_mark(marks, fill.count, reader.start + (p - block));
        mark_due = false;
      }
      if (whole_runs && !in_line) {
        // Room for a line a byte: the part fills the room the table has
        // left, or a few pages where it is nearly full, so that the table
        // doubles only once its room is used. Asking for as many bytes as
        // it had lines doubled a table twice over its lines, and the table
        // of a file of 50,000 lines past 1 MiB into a huge page. A line cut
        // by the part's end is taken below.
        const auto part = static_cast<size_t>(
            std::min<int64_t>(end - p, std::max<int64_t>(room_left(fill), kLeastPart)));
        make_room(fill, part);
        fill.count += hash_whole_lines(form, p, p + part, &fill.lines[fill.count + 1].key,
                                       sizeof(line_entry) / sizeof(int32_t), &p);
        if (p == end) break;
      }
      auto* newline = static_cast<const unsigned char*>(memchr(p, '\n', end - p));
      feed_bytes(hash, p, newline != nullptr ? newline : end, mode);
      in_line = newline == nullptr;
      if (in_line) break;
      add_line(fill, fold_line_sum(hash.sum));
      hash = line_hash{};
      p = newline + 1;
    }
  }
}

// A thread pays for itself on files of a megabyte or so; a small pair is
// read quicker without one.
bool worth_a_thread(FILE* old_stream, FILE* new_stream) {
  struct stat old_status, new_status;
  if (fstat(fileno(old_stream), &old_status) != 0 || fstat(fileno(new_stream), &new_status) != 0)
    return false;
  return old_status.st_size + new_status.st_size >= (off_t{1} << 20);
}

}  // namespace

int32_t hash_next_line(const line_rules& rules, FILE* stream) {
  const hash_mode mode = mode_of(rules);
  line_hash hash;
  for (;;) {
    int b = getc_unlocked(stream);
    if (b == '\n') return fold_line_sum(hash.sum);
    if (b == EOF) return 0;
    auto byte = static_cast<unsigned char>(b);
    feed_bytes(hash, &byte, &byte + 1, mode);
  }
}

void load_line_table(const line_rules& rules, int file, FILE* stream, const char* path,
                     line_tables& tables, hash_form form) {
  // The whole file from its start, through the descriptor: whatever the
  // stream has buffered is passed over.
  const int fd = fileno(stream);
  lseek(fd, 0, SEEK_SET);
  table_fill fill{table<line_entry>(3)};
  mark_fill marks{table<line_mark>(1)};
  hash_all_lines(rules, form, fd, path, fill, marks);
  tables.line_marks[file] = std::move(marks.marks);
  tables.line_mark_count[file] = marks.count;
  // The table keeps exactly its lines and the three entries around them.
  fill.lines.resize(static_cast<uint64_t>(fill.count) + 3);
  tables.line_table[file] = std::move(fill.lines);
  tables.line_count[file] = fill.count;
}

void load_line_tables(const line_rules& rules, FILE* old_stream, FILE* new_stream,
                      const char* const (&paths)[2], line_tables& tables) {
  run_both(
      worth_a_thread(old_stream, new_stream), tables.operand_bytes,
      [&] { load_line_table(rules, 0, old_stream, paths[0], tables); },
      [&] { load_line_table(rules, 1, new_stream, paths[1], tables); });
}
