#include "engine/verify_matches.h"

#include <algorithm>
#include <cstring>
#include <utility>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define OVARN_VECTOR_VERIFY 1
#endif

#include "cli/exit_run.h"
#include "cli/run_options.h"
#include "cli/run_state.h"
#include "cli/stage_hook.h"
#include "engine/line_table.h"
#include "engine/match_vector.h"
#include "engine/new_table.h"
#include "engine/run_both.h"
#include "engine/table_growth.h"

int64_t* old_offsets = nullptr;
int64_t* new_offsets = nullptr;
FILE* input_streams[2] = {nullptr, nullptr};

namespace {

// Each file is read in large blocks of its own, so that a line is found with
// memchr and a pair compared with memcmp where they lie.
constexpr size_t kBlockBytes = size_t{1} << 16;
struct block_reader {
  FILE* stream = nullptr;
  unsigned char bytes[kBlockBytes];
  size_t pos = 0;        // the next byte to read
  size_t end = 0;        // the bytes held
  bool met_end = false;  // a read found the end of the file
};

// The pass over large files runs in two parts at once, each with a reader
// for either file; the first part reads through input_streams.
block_reader readers[2][2];

void start_reader(block_reader& reader, FILE* stream) {
  reader.stream = stream;
  reader.pos = reader.end = 0;
  reader.met_end = false;
}

// Reads the next block; false at end of file.
bool refill(block_reader& reader) {
  reader.pos = 0;
  reader.end = fread(reader.bytes, 1, kBlockBytes, reader.stream);
  if (reader.end == 0) reader.met_end = true;
  return reader.end > 0;
}

int read_char(block_reader& reader) {
  if (reader.pos == reader.end && !refill(reader)) return EOF;
  return reader.bytes[reader.pos++];
}

// The bytes from the reader's position through its next newline when they
// lie in the block, else null with length 0.
const unsigned char* whole_line_in_block(block_reader& reader, size_t* length) {
  const unsigned char* start = reader.bytes + reader.pos;
  const void* newline = memchr(start, '\n', reader.end - reader.pos);
  *length = newline != nullptr ? static_cast<const unsigned char*>(newline) - start + 1 : 0;
  return newline != nullptr ? start : nullptr;
}

// Reads through the next newline; the number of reads, end of file counted
// as one.
int64_t skip_rest(block_reader& reader) {
  int64_t reads = 0;
  for (;;) {
    if (reader.pos == reader.end && !refill(reader)) return reads + 1;  // end of file reads once
    size_t length;
    if (whole_line_in_block(reader, &length) != nullptr) {
      reader.pos += length;
      return reads + static_cast<int64_t>(length);
    }
    reads += static_cast<int64_t>(reader.end - reader.pos);
    reader.pos = reader.end;
  }
}

}  // namespace

int64_t skip_rest_of_line(int slot) { return skip_rest(readers[0][slot]); }

namespace {

// Reading one file of the pair: every byte read is counted, so that the
// count is the offset at which the next line begins.
struct line_cursor {
  block_reader* reader;
  int64_t bytes;
  int last;  // the last character read, or EOF
};

int next_char(line_cursor& cursor) {
  cursor.last = read_char(*cursor.reader);
  if (cursor.last != EOF) ++cursor.bytes;
  return cursor.last;
}

void skip_line(line_cursor& cursor) { cursor.bytes += skip_rest(*cursor.reader); }

// Space, tab, newline, vertical tab, form feed and carriage return.
bool is_space(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Reads on past the space-class characters other than the newline.
int skip_blanks(line_cursor& cursor) {
  int c;
  do {
    c = next_char(cursor);
  } while (is_space(c) && c != '\n');
  return c;
}

// Two lines that lie whole in their blocks are compared at once. When they
// differ, both are read through their newlines, as the comparison byte by
// byte followed by finish_line would read them: the first difference lies
// at or before the shorter line's newline.
bool whole_lines_agree(line_cursor& old_line, line_cursor& new_line, bool* agree) {
  size_t old_length, new_length;
  const unsigned char* old_text = whole_line_in_block(*old_line.reader, &old_length);
  if (old_text == nullptr) return false;
  const unsigned char* new_text = whole_line_in_block(*new_line.reader, &new_length);
  if (new_text == nullptr) return false;
  *agree = old_length == new_length && memcmp(old_text, new_text, old_length) == 0;
  for (auto [cursor, length] :
       {std::pair{&old_line, old_length}, std::pair{&new_line, new_length}}) {
    cursor->reader->pos += length;
    cursor->bytes += static_cast<int64_t>(length);
    cursor->last = '\n';
  }
  return true;
}

// Byte for byte, newline included.
bool lines_agree_exactly(line_cursor& old_line, line_cursor& new_line) {
  bool agree;
  if (whole_lines_agree(old_line, new_line, &agree)) return agree;
  for (;;) {
    int c = next_char(old_line);
    int d = next_char(new_line);
    if (c != d || c == EOF) return false;
    if (c == '\n') return true;
  }
}

// Under -b, -w or -i: blanks as those options say, characters through
// char_map. End of file differs from every character, itself included.
bool lines_agree_loosely(line_cursor& old_line, line_cursor& new_line) {
  for (;;) {
    int c = next_char(old_line);
    int d = next_char(new_line);
    if (options.blank_runs && is_space(c) && is_space(d)) {
      if (c != '\n') c = skip_blanks(old_line);
      if (d != '\n') d = skip_blanks(new_line);
    } else if (options.all_blanks) {
      while (is_space(c) && c != '\n') c = next_char(old_line);
      while (is_space(d) && d != '\n') d = next_char(new_line);
    }
    if (c == EOF || d == EOF) return false;
    if (char_map[c] != char_map[d]) return false;
    if (c == '\n') return true;
  }
}

bool lines_agree(line_cursor& old_line, line_cursor& new_line) {
  if (options.blank_runs || options.all_blanks || options.fold_case)
    return lines_agree_loosely(old_line, new_line);
  return lines_agree_exactly(old_line, new_line);
}

// A side broken off inside its line reads on to the line's end; a side at
// its newline stays where it is. End of file counts as one read, as it does
// for a line passed over, so that every line moves the offset on: a file
// emptied since it was loaded must not leave lines of no bytes, which the
// output would read again and again where the file has been written anew.
void finish_line(line_cursor& cursor) {
  if (cursor.last == EOF) {
    ++cursor.bytes;
  } else if (cursor.last != '\n') {
    skip_line(cursor);
  }
}

// One part of the pass: old lines first_old..last_old, the new lines from
// first_new on, and the new lines after the last pairing through last_new.
// The cursors start at the beginning of old line first_old and of new line
// first_new. The pairings a part finds broken are noted and dropped only
// once the part is known to have read the lines it meant to.
struct verify_part {
  int32_t first_old, last_old;
  int32_t first_new, last_new;
  bool last;  // the part reaches the ends of both files
  line_cursor old_line, new_line;
  bool failed = false;     // a part before the last met the end of a file
  int32_t* broken = nullptr;  // old lines whose pairings are to be dropped
  int32_t broken_count = 0;
  uint64_t broken_room = 0;
  int32_t shrunk_from = 0;  // the old line from which no pairing stands, or 0
};

void note_broken(verify_part& part, int32_t i) {
  if (part.broken == nullptr) {
    part.broken_room = 64;
    part.broken = static_cast<int32_t*>(new_table(part.broken_room, sizeof(int32_t)));
  }
  uint64_t needed = static_cast<uint64_t>(part.broken_count) + 1;
  part.broken =
      static_cast<int32_t*>(grow_table(part.broken, needed, sizeof(int32_t), &part.broken_room));
  part.broken[part.broken_count++] = i;
}

// Drops the pairings the part found broken.
void drop_broken(verify_part& part) {
  for (int32_t n = 0; n < part.broken_count; ++n) match_vector[part.broken[n]] = 0;
  if (part.shrunk_from != 0)
    for (int32_t i = part.shrunk_from; i <= line_count[0]; ++i) match_vector[i] = 0;
  free_table(part.broken);
  part.broken = nullptr;
}

// Both files ended inside a pair, so they shrank since they were loaded:
// nothing more can be read and no later pairing stands. Each remaining line
// takes one byte past the end, its end of file read once, so that every
// line still moves the offset on.
void end_at_shrunk_files(verify_part& part, int32_t i, int32_t j) {
  part.shrunk_from = i;
  for (; i <= line_count[0]; ++i) old_offsets[i] = ++part.old_line.bytes;
  for (; j <= line_count[1]; ++j) new_offsets[j] = ++part.new_line.bytes;
}

#ifdef OVARN_VECTOR_VERIFY
// Whether the processor runs the vector forms below.
bool have_vectors() {
  static const bool have = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
  return have;
}
#endif

// Runs of pairings that follow one another, old line i with new line j,
// i + 1 with j + 1 and so on, are compared a block at a time: while the
// bytes of both files agree, so do their newlines, and every line that ends
// in the agreeing bytes is a pair that agrees. Each side's position is at
// the start of its line; the pass stops at the start of a line, before the
// first pair whose bytes differ, at the end of the run of pairings or of the
// part, or where either block runs short, and leaves that line to the byte
// by byte comparison. Returns the number of pairs passed; their offsets are
// set.
#ifdef OVARN_VECTOR_VERIFY
__attribute__((target("avx2,bmi"))) int32_t pass_pairs_vector(verify_part& part, int32_t i,
                                                              int32_t j) {
  block_reader& old_block = *part.old_line.reader;
  block_reader& new_block = *part.new_line.reader;
  const unsigned char* old_start = old_block.bytes + old_block.pos;  // of the current lines
  const unsigned char* new_start = new_block.bytes + new_block.pos;
  // File offsets of the blocks' first bytes.
  const int64_t old_base = part.old_line.bytes - static_cast<int64_t>(old_block.pos);
  const int64_t new_base = part.new_line.bytes - static_cast<int64_t>(new_block.pos);
  const __m256i newlines = _mm256_set1_epi8('\n');
  const unsigned char* o = old_start;
  const unsigned char* n = new_start;
  const unsigned char* old_end = old_block.bytes + old_block.end;
  const unsigned char* new_end = new_block.bytes + new_block.end;
  int32_t passed = 0;
  while (old_end - o >= 32 && new_end - n >= 32) {
    __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(o));
    __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(n));
    auto same = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, b)));
    auto found = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, newlines)));
    if (same != ~uint32_t{0}) found &= (uint32_t{1} << __builtin_ctz(~same)) - 1;
    bool stop = same != ~uint32_t{0};
    for (; found != 0; found &= found - 1) {
      unsigned at = __builtin_ctz(found) + 1;  // just past the newline
      old_offsets[i] = old_base + (o + at - old_block.bytes);
      new_offsets[j] = new_base + (n + at - new_block.bytes);
      ++passed;
      old_start = o + at;
      new_start = n + at;
      if (++i > part.last_old || ++j > part.last_new || match_vector[i] != j) {
        stop = true;
        break;
      }
    }
    if (stop) break;
    o += 32;
    n += 32;
  }
  if (passed > 0) {
    part.old_line.bytes = old_base + (old_start - old_block.bytes);
    part.new_line.bytes = new_base + (new_start - new_block.bytes);
    old_block.pos = static_cast<size_t>(old_start - old_block.bytes);
    new_block.pos = static_cast<size_t>(new_start - new_block.bytes);
    part.old_line.last = '\n';
    part.new_line.last = '\n';
  }
  return passed;
}
#endif

// Lines from..to - 1 of one file, none of them paired, are read through
// their newlines a block at a time; each offset is set. Stops at the end of
// the lines or where the block runs short, at the start of a line, and
// returns the number of lines passed.
#ifdef OVARN_VECTOR_VERIFY
__attribute__((target("avx2,bmi"))) int32_t pass_lines_vector(line_cursor& cursor,
                                                              int64_t* offsets, int32_t from,
                                                              int32_t to) {
  block_reader& block = *cursor.reader;
  const int64_t base = cursor.bytes - static_cast<int64_t>(block.pos);
  const __m256i newlines = _mm256_set1_epi8('\n');
  const unsigned char* p = block.bytes + block.pos;
  const unsigned char* line = p;  // the start of the line after the last passed
  const unsigned char* end = block.bytes + block.end;
  int32_t n = from;
  for (; end - p >= 32 && n < to; p += 32) {
    auto found = static_cast<uint32_t>(_mm256_movemask_epi8(
        _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), newlines)));
    for (; found != 0 && n < to; found &= found - 1) {
      line = p + __builtin_ctz(found) + 1;
      offsets[n++] = base + (line - block.bytes);
    }
  }
  if (n > from) {
    block.pos = static_cast<size_t>(line - block.bytes);
    cursor.bytes = base + static_cast<int64_t>(block.pos);
    cursor.last = '\n';
  }
  return n - from;
}
#endif

// Reads lines from..to - 1 of the cursor's file through their newlines and
// sets their offsets.
void skip_lines(line_cursor& cursor, int64_t* offsets, int32_t from, int32_t to) {
  while (from < to) {
#ifdef OVARN_VECTOR_VERIFY
    if (have_vectors()) {
      from += pass_lines_vector(cursor, offsets, from, to);
      if (from == to) return;
    }
#endif
    // A line across the block's end, or no vectors.
    skip_line(cursor);
    offsets[from++] = cursor.bytes;
  }
}

int32_t pass_identical_pairs(verify_part& part, int32_t i, int32_t j) {
#ifdef OVARN_VECTOR_VERIFY
  if (have_vectors()) return pass_pairs_vector(part, i, j);
#endif
  (void)part;
  (void)i;
  (void)j;
  return 0;
}

void verify_part_of_pass(verify_part& part) {
  line_cursor& old_line = part.old_line;
  line_cursor& new_line = part.new_line;
  const bool exact = !(options.blank_runs || options.all_blanks || options.fold_case);
  int32_t j = part.first_new;  // the next new line to account for
  for (int32_t i = part.first_old; i <= part.last_old; ++i) {
    int32_t m = match_vector[i];
    if (m == 0) {
      // A run of unpaired old lines.
      int32_t after = i + 1;
      while (after <= part.last_old && match_vector[after] == 0) ++after;
      skip_lines(old_line, old_offsets, i, after);
      i = after - 1;
      continue;
    }
    if (exact && m == j) {
      // Most pairings on files much alike follow one another: pass over
      // them a block at a time while their bytes agree.
      int32_t passed = pass_identical_pairs(part, i, j);
      if (passed > 0) {
        i += passed - 1;
        j += passed;
        continue;
      }
    }
    skip_lines(new_line, new_offsets, j, m);
    j = std::max(j, m);
    if (!lines_agree(old_line, new_line)) {
      note_broken(part, i);
      if (old_line.last == EOF && new_line.last == EOF) {
        if (part.last) {
          end_at_shrunk_files(part, i, j);
        } else {
          part.failed = true;
        }
        return;
      }
      finish_line(old_line);
      finish_line(new_line);
    }
    old_offsets[i] = old_line.bytes;
    new_offsets[j++] = new_line.bytes;
  }
  skip_lines(new_line, new_offsets, j, part.last_new + 1);
  if (!part.last && (old_line.reader->met_end || new_line.reader->met_end)) part.failed = true;
}

FILE* open_file(const char* path) {
  FILE* stream = fopen(path, "r");
  // The reader's own block is its buffer: whole blocks are read straight into it.
  if (stream != nullptr) setvbuf(stream, nullptr, _IONBF, 0);
  return stream;
}

void open_slot(int slot, const char* path) {
  input_streams[slot] = open_file(path);
  if (input_streams[slot] == nullptr) {
    perror(path);
    exit_run();
  }
  start_reader(readers[0][slot], input_streams[slot]);
}

void close_slots() {
  for (FILE*& stream : input_streams) {
    fclose(stream);
    stream = nullptr;
  }
}

// The whole pass as one part, through input_streams.
void verify_whole_files() {
  verify_part whole{1,
                    line_count[0],
                    1,
                    line_count[1],
                    true,
                    line_cursor{&readers[0][0], 0, 0},
                    line_cursor{&readers[0][1], 0, 0}};
  verify_part_of_pass(whole);
  drop_broken(whole);
}

// Where the second part of a split pass starts: old line old_mark.lines_before
// + 1 at old_mark.offset, and the new line after the last pairing of the first
// part, which is found by reading on from new_mark.
struct pass_split {
  line_mark old_mark;
  int32_t last_new;  // the new line of the last pairing before the split
  line_mark new_mark;
};

// A split at the old file's middle mark, for old files of a few megabytes
// and more; false when the files are too small to be worth a second thread.
bool find_split(pass_split* split) {
  constexpr int32_t kFewestMarks = 3;
  if (line_mark_count[0] < kFewestMarks || line_marks[0] == nullptr ||
      line_marks[1] == nullptr || line_mark_count[1] < 1)
    return false;
  split->old_mark = line_marks[0][line_mark_count[0] / 2];
  int32_t first_lines = split->old_mark.lines_before;
  if (first_lines < 1 || first_lines >= line_count[0]) return false;
  int32_t i = first_lines;
  while (i > 0 && match_vector[i] == 0) --i;
  split->last_new = match_vector[i];
  // The last mark at or before the new line after that pairing.
  const line_mark* marks = line_marks[1];
  const line_mark* after = std::upper_bound(
      marks, marks + line_mark_count[1], split->last_new,
      [](int32_t lines, const line_mark& mark) { return lines < mark.lines_before; });
  split->new_mark = *(after - 1);
  return true;
}

// The second part reads on from the new mark to its first new line, and
// returns the offset at which that line begins.
int64_t start_second_part(verify_part& part, const pass_split& split) {
  block_reader& new_reader = *part.new_line.reader;
  for (int32_t lines = split.new_mark.lines_before; lines < split.last_new; ++lines)
    part.new_line.bytes += skip_rest(new_reader);
  if (new_reader.met_end) part.failed = true;
  return part.new_line.bytes;
}

// Runs the pass in two parts on two threads. False when the second part's
// files cannot be opened, or when the files changed since they were loaded,
// so that the parts do not meet: the caller then runs the whole pass again.
bool verify_in_two_parts(const pass_split& split) {
  FILE* old_stream = open_file(state.path1);
  FILE* new_stream = open_file(state.path2);
  bool seeked = old_stream != nullptr && new_stream != nullptr &&
                fseeko(old_stream, split.old_mark.offset, SEEK_SET) == 0 &&
                fseeko(new_stream, split.new_mark.offset, SEEK_SET) == 0;
  if (!seeked) {
    if (old_stream != nullptr) fclose(old_stream);
    if (new_stream != nullptr) fclose(new_stream);
    return false;
  }
  start_reader(readers[1][0], old_stream);
  start_reader(readers[1][1], new_stream);
  const int32_t first_lines = split.old_mark.lines_before;
  verify_part first{1,
                    first_lines,
                    1,
                    split.last_new,
                    false,
                    line_cursor{&readers[0][0], 0, 0},
                    line_cursor{&readers[0][1], 0, 0}};
  verify_part second{first_lines + 1,
                     line_count[0],
                     split.last_new + 1,
                     line_count[1],
                     true,
                     line_cursor{&readers[1][0], split.old_mark.offset, '\n'},
                     line_cursor{&readers[1][1], split.new_mark.offset, '\n'}};
  int64_t second_new_start = 0;
  run_both(
      true,
      [&second, &split, &second_new_start] {
        second_new_start = start_second_part(second, split);
        if (!second.failed) verify_part_of_pass(second);
      },
      [&first] { verify_part_of_pass(first); });
  fclose(old_stream);
  fclose(new_stream);
  // The parts stand only when the first ends exactly where the second began.
  bool met = !first.failed && !second.failed && first.old_line.bytes == split.old_mark.offset &&
             first.new_line.bytes == second_new_start;
  if (!met) {
    first.broken_count = second.broken_count = 0;
    second.shrunk_from = 0;
  }
  drop_broken(first);
  drop_broken(second);
  return met;
}

}  // namespace

void verify_matches() {
  open_slot(0, state.path1);
  open_slot(1, state.path2);
  old_offsets[0] = 0;
  new_offsets[0] = 0;
  pass_split split;
  bool split_tried = find_split(&split);
  if (!split_tried || !verify_in_two_parts(split)) {
    if (split_tried) {
      stage_hook("verify-again");
      // From the start of both files again.
      for (int slot = 0; slot < 2; ++slot) {
        rewind(input_streams[slot]);
        start_reader(readers[0][slot], input_streams[slot]);
      }
    }
    verify_whole_files();
  }
  close_slots();
}
