#include "engine/verify_matches.h"

#include <cstring>
#include <utility>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#define OVARN_VECTOR_VERIFY 1
#endif

#include "cli/exit_run.h"
#include "cli/run_options.h"
#include "cli/run_state.h"
#include "engine/line_table.h"
#include "engine/match_vector.h"

int64_t* old_offsets = nullptr;
int64_t* new_offsets = nullptr;
FILE* input_streams[2] = {nullptr, nullptr};

namespace {

// Each slot's file is read in large blocks of its own, so that a line is
// found with memchr and a pair compared with memcmp where they lie.
constexpr size_t kBlockBytes = size_t{1} << 16;
struct slot_block {
  unsigned char bytes[kBlockBytes];
  size_t pos = 0;  // the next byte to read
  size_t end = 0;  // the bytes held
};
slot_block blocks[2];

// Reads the slot's next block; false at end of file.
bool refill(int slot) {
  slot_block& block = blocks[slot];
  block.pos = 0;
  block.end = fread(block.bytes, 1, kBlockBytes, input_streams[slot]);
  return block.end > 0;
}

int read_char(int slot) {
  slot_block& block = blocks[slot];
  if (block.pos == block.end && !refill(slot)) return EOF;
  return block.bytes[block.pos++];
}

// The bytes from the slot's position through its next newline when they lie
// in the block, else null with length 0.
const unsigned char* whole_line_in_block(int slot, size_t* length) {
  slot_block& block = blocks[slot];
  const unsigned char* start = block.bytes + block.pos;
  const void* newline = memchr(start, '\n', block.end - block.pos);
  *length = newline != nullptr ? static_cast<const unsigned char*>(newline) - start + 1 : 0;
  return newline != nullptr ? start : nullptr;
}

}  // namespace

int64_t skip_rest_of_line(int slot) {
  slot_block& block = blocks[slot];
  int64_t reads = 0;
  for (;;) {
    if (block.pos == block.end && !refill(slot)) return reads + 1;  // end of file reads once
    size_t length;
    if (whole_line_in_block(slot, &length) != nullptr) {
      block.pos += length;
      return reads + static_cast<int64_t>(length);
    }
    reads += static_cast<int64_t>(block.end - block.pos);
    block.pos = block.end;
  }
}

namespace {

// Reading one file of the pair: every byte read is counted, so that the
// count is the offset at which the next line begins.
struct line_cursor {
  int slot;
  int64_t bytes;
  int last;  // the last character read, or EOF
};

int next_char(line_cursor& cursor) {
  cursor.last = read_char(cursor.slot);
  if (cursor.last != EOF) ++cursor.bytes;
  return cursor.last;
}

void skip_line(line_cursor& cursor) { cursor.bytes += skip_rest_of_line(cursor.slot); }

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
  const unsigned char* old_text = whole_line_in_block(old_line.slot, &old_length);
  if (old_text == nullptr) return false;
  const unsigned char* new_text = whole_line_in_block(new_line.slot, &new_length);
  if (new_text == nullptr) return false;
  *agree = old_length == new_length && memcmp(old_text, new_text, old_length) == 0;
  for (auto [cursor, length] :
       {std::pair{&old_line, old_length}, std::pair{&new_line, new_length}}) {
    blocks[cursor->slot].pos += length;
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
// its newline or at end of file stays where it is.
void finish_line(line_cursor& cursor) {
  if (cursor.last != '\n' && cursor.last != EOF) skip_line(cursor);
}

// Both files ended inside a pair, so they shrank since they were loaded:
// nothing more can be read and no later pairing stands. The remaining lines
// end where the files end.
void end_at_shrunk_files(int32_t i, const line_cursor& old_line, int32_t j,
                         const line_cursor& new_line) {
  for (; i <= line_count[0]; ++i) {
    match_vector[i] = 0;
    old_offsets[i] = old_line.bytes;
  }
  for (; j <= line_count[1]; ++j) new_offsets[j] = new_line.bytes;
}

// Runs of pairings that follow one another, old line i with new line j,
// i + 1 with j + 1 and so on, are compared a block at a time: while the
// bytes of both files agree, so do their newlines, and every line that ends
// in the agreeing bytes is a pair that agrees. Each side's position is at
// the start of its line; the pass stops at the start of a line, before the
// first pair whose bytes differ, at the end of the run of pairings, or where
// either block runs short, and leaves that line to the byte-by-byte
// comparison. Returns the number of pairs passed; their offsets are set.
#ifdef OVARN_VECTOR_VERIFY
__attribute__((target("avx2,bmi"))) int32_t pass_pairs_vector(line_cursor& old_line,
                                                              line_cursor& new_line, int32_t i,
                                                              int32_t j) {
  slot_block& old_block = blocks[old_line.slot];
  slot_block& new_block = blocks[new_line.slot];
  const unsigned char* old_start = old_block.bytes + old_block.pos;  // of the current lines
  const unsigned char* new_start = new_block.bytes + new_block.pos;
  // File offsets of the blocks' first bytes.
  const int64_t old_base = old_line.bytes - static_cast<int64_t>(old_block.pos);
  const int64_t new_base = new_line.bytes - static_cast<int64_t>(new_block.pos);
  const int32_t old_lines = line_count[0];
  const int32_t new_lines = line_count[1];
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
      if (++i > old_lines || ++j > new_lines || match_vector[i] != j) {
        stop = true;
        break;
      }
    }
    if (stop) break;
    o += 32;
    n += 32;
  }
  if (passed > 0) {
    old_line.bytes = old_base + (old_start - old_block.bytes);
    new_line.bytes = new_base + (new_start - new_block.bytes);
    old_block.pos = static_cast<size_t>(old_start - old_block.bytes);
    new_block.pos = static_cast<size_t>(new_start - new_block.bytes);
    old_line.last = '\n';
    new_line.last = '\n';
  }
  return passed;
}
#endif

int32_t pass_identical_pairs(line_cursor& old_line, line_cursor& new_line, int32_t i, int32_t j) {
#ifdef OVARN_VECTOR_VERIFY
  static const bool vector = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
  if (vector) return pass_pairs_vector(old_line, new_line, i, j);
#endif
  (void)old_line;
  (void)new_line;
  (void)i;
  (void)j;
  return 0;
}

void open_slot(int slot, const char* path) {
  input_streams[slot] = fopen(path, "r");
  if (input_streams[slot] == nullptr) {
    perror(path);
    exit_run();
  }
  // The slot's own block is its buffer: whole blocks are read straight into it.
  setvbuf(input_streams[slot], nullptr, _IONBF, 0);
  blocks[slot].pos = 0;
  blocks[slot].end = 0;
}

void close_slots() {
  for (FILE*& stream : input_streams) {
    fclose(stream);
    stream = nullptr;
  }
}

}  // namespace

void verify_matches() {
  open_slot(0, state.path1);
  open_slot(1, state.path2);
  old_offsets[0] = 0;
  new_offsets[0] = 0;
  line_cursor old_line{0, 0, 0};
  line_cursor new_line{1, 0, 0};
  const bool exact = !(options.blank_runs || options.all_blanks || options.fold_case);
  int32_t j = 1;  // the next new line to account for
  for (int32_t i = 1; i <= line_count[0]; ++i) {
    int32_t m = match_vector[i];
    if (m == 0) {
      skip_line(old_line);
      old_offsets[i] = old_line.bytes;
      continue;
    }
    if (exact && m == j) {
      // Most pairings on files much alike follow one another: pass over
      // them a block at a time while their bytes agree.
      int32_t passed = pass_identical_pairs(old_line, new_line, i, j);
      if (passed > 0) {
        i += passed - 1;
        j += passed;
        continue;
      }
    }
    for (; j < m; ++j) {
      skip_line(new_line);
      new_offsets[j] = new_line.bytes;
    }
    if (!lines_agree(old_line, new_line)) {
      match_vector[i] = 0;
      if (old_line.last == EOF && new_line.last == EOF) {
        end_at_shrunk_files(i, old_line, j, new_line);
        close_slots();
        return;
      }
      finish_line(old_line);
      finish_line(new_line);
    }
    old_offsets[i] = old_line.bytes;
    new_offsets[j++] = new_line.bytes;
  }
  for (; j <= line_count[1]; ++j) {
    skip_line(new_line);
    new_offsets[j] = new_line.bytes;
  }
  close_slots();
}
