// Line hashing and the per-file tables of line hashes.
#ifndef OVARN_ENGINE_LINE_TABLE_H_
#define OVARN_ENGINE_LINE_TABLE_H_

#include <cstdint>
#include <cstdio>

struct line_entry {
  int32_t view_pos;  // position within the pruned view (set by pruning)
  int32_t key;       // the line's hash, always positive; later a class index
};

// The two fixed byte maps and the active one (fold_map under -i).
extern const unsigned char identity_map[256];
extern const unsigned char fold_map[256];
extern const unsigned char* char_map;

// Index 0 the old file, 1 the new file. Entry j (1..line_count) is line j;
// each table has line_count + 3 entries.
extern line_entry* line_table[2];
extern int32_t line_count[2];

// A place where a line begins, noted while loading about every megabyte of
// a file, so that a later pass can start reading in the middle of it.
struct line_mark {
  int32_t lines_before;  // the line that begins here is line lines_before + 1
  int64_t offset;        // the byte at which it begins
};

// Per file, line_mark_count marks in rising order, the first at offset 0;
// set by load_line_table.
extern line_mark* line_marks[2];
extern int32_t line_mark_count[2];

// The forms in which whole lines are hashed under no option, the fastest
// first: with 512-bit vectors, with 256-bit vectors, byte by byte. All give
// the same hashes. Loading takes the fastest that the processor has.
enum class hash_form { wide_vector, vector, plain };

// Makes loading take form from now on, so that tests can try each; false,
// with nothing changed, when the processor lacks it.
bool use_hash_form(hash_form form);

// The hash of the stream's next line (at least 1), or 0 at end of file before
// the line's newline.
int32_t hash_next_line(FILE* stream);

// Rewinds the stream and reads the whole file into line_table[file].
void load_line_table(int file, FILE* stream);

// Both tables, the old file's from old_stream and the new file's from
// new_stream, loaded at the same time.
void load_line_tables(FILE* old_stream, FILE* new_stream);

#endif  // OVARN_ENGINE_LINE_TABLE_H_
