// Line hashing and the per-file tables of line hashes.
#ifndef OVARN_ENGINE_LINE_TABLE_H_
#define OVARN_ENGINE_LINE_TABLE_H_

#include <cstdint>
#include <cstdio>

#include "base/table.h"
#include "engine/line_rules.h"
#include "port/kernels.h"

struct line_entry {
  int32_t view_pos;  // position within the pruned view (set by pruning)
  int32_t key;       // the line's hash, always positive; later a class index
};

// A place where a line begins, noted while loading about every megabyte of
// a file, so that a later pass can start reading in the middle of it.
struct line_mark {
  int32_t lines_before;  // the line that begins here is line lines_before + 1
  int64_t offset;        // the byte at which it begins
};

// The loaded files, index 0 the old file and 1 the new file. Entry j
// (1..line_count) of line_table is line j; each table has line_count + 3
// entries. line_mark_count marks lie in rising order, the first at offset 0.
struct line_tables {
  table<line_entry> line_table[2];
  int32_t line_count[2] = {0, 0};
  table<line_mark> line_marks[2];
  int32_t line_mark_count[2] = {0, 0};
  // Both operands' sizes as the run looked them up, summed: whether a second
  // thread fits a limited address space depends on them (run_both).
  uint64_t operand_bytes = 0;
};

// Test seam: the hash of the stream's next line under rules (at least 1),
// or 0 at end of file before the line's newline. A byte at a time, the
// reference that the tests hold every faster form against; the program
// loads its tables with load_line_table.
int32_t hash_next_line(const line_rules& rules, FILE* stream);

// Reads the whole file from its start into tables.line_table[file], whole
// lines under no option in form. path names the file when a read fails,
// which ends the run.
void load_line_table(const line_rules& rules, int file, FILE* stream, const char* path,
                     line_tables& tables, hash_form form = best_hash_form());

// Both tables, the old file's from old_stream and the new file's from
// new_stream, loaded at the same time; paths name the two files.
void load_line_tables(const line_rules& rules, FILE* old_stream, FILE* new_stream,
                      const char* const (&paths)[2], line_tables& tables);

#endif  // OVARN_ENGINE_LINE_TABLE_H_
