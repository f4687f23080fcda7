#include "engine/verify_matches.h"

#include "cli/exit_run.h"
#include "cli/run_options.h"
#include "cli/run_state.h"
#include "engine/line_table.h"
#include "engine/match_vector.h"

int64_t* old_offsets = nullptr;
int64_t* new_offsets = nullptr;
FILE* input_streams[2] = {nullptr, nullptr};

int64_t skip_rest_of_line(int slot) {
  FILE* stream = input_streams[slot];
  int64_t reads = 0;
  for (;;) {
    int c = getc_unlocked(stream);
    ++reads;
    if (c == '\n' || c == EOF) return reads;
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
  cursor.last = getc_unlocked(input_streams[cursor.slot]);
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

// Byte for byte, newline included.
bool lines_agree_exactly(line_cursor& old_line, line_cursor& new_line) {
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

void open_slot(int slot, const char* path) {
  static char buffers[2][1 << 16];  // larger than stdio's default: fewer reads
  input_streams[slot] = fopen(path, "r");
  if (input_streams[slot] == nullptr) {
    perror(path);
    exit_run();
  }
  setvbuf(input_streams[slot], buffers[slot], _IOFBF, sizeof buffers[slot]);
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
  int32_t j = 1;  // the next new line to account for
  for (int32_t i = 1; i <= line_count[0]; ++i) {
    int32_t m = match_vector[i];
    if (m == 0) {
      skip_line(old_line);
      old_offsets[i] = old_line.bytes;
      continue;
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
