#include "engine/verify_matches.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>

#include "base/block_reader.h"
#include "base/exit_run.h"
#include "base/owned_files.h"
#include "base/run_both.h"
#include "base/stage_hook.h"
#include "port/kernels.h"

namespace {

// The bytes from the reader's position through its next newline when they
// lie in the block, else null with length 0.
const unsigned char* whole_line_in_block(block_reader& reader, size_t* length) {
  const unsigned char* start = reader.bytes.data() + reader.pos;
  const void* newline = memchr(start, '\n', reader.end - reader.pos);
  *length = newline != nullptr ? static_cast<const unsigned char*>(newline) - start + 1 : 0;
  return newline != nullptr ? start : nullptr;
}

// Reads through the next newline; returns the bytes passed, end of file
// counted as one.
int64_t skip_rest_of_line(block_reader& reader) {
  int64_t passed = 0;
  for (;;) {
    if (reader.pos == reader.end && !refill(reader)) return passed + 1;  // end of file counts once
    size_t length;
    if (whole_line_in_block(reader, &length) != nullptr) {
      reader.pos += length;
      return passed + static_cast<int64_t>(length);
    }
    passed += static_cast<int64_t>(reader.end - reader.pos);
    reader.pos = reader.end;
  }
}

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

void skip_line(line_cursor& cursor) { cursor.bytes += skip_rest_of_line(*cursor.reader); }

// Space, tab, newline, vertical tab, form feed and carriage return: wider on
// purpose than the hash's blanks (space and tab), as verification only
// drops pairings the hash made and never makes one.
bool is_space(int c) { return c == ' ' || (c >= '\t' && c <= '\r'); }

// Reads on past the space-class characters other than the newline.
int skip_blanks(line_cursor& cursor) {
  int c;
  do {
    c = next_char(cursor);
  } while (is_space(c) && c != '\n');
  return c;
}

// Two lines that lie whole in their blocks are compared at once: returns
// whether both did and were compared, with *agree saying whether they agree.
// When they differ, both are read through their newlines, as the comparison
// byte by byte followed by finish_line would read them: the first difference
// lies at or before the shorter line's newline.
bool compared_in_blocks(line_cursor& old_line, line_cursor& new_line, bool* agree) {
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
  if (compared_in_blocks(old_line, new_line, &agree)) return agree;
  for (;;) {
    int c = next_char(old_line);
    int d = next_char(new_line);
    if (c != d || c == EOF) return false;
    if (c == '\n') return true;
  }
}

// Under -b, -w or -i: blanks as those options say, characters through
// char_map. End of file differs from every character, itself included.
bool lines_agree_loosely(const line_rules& rules, line_cursor& old_line, line_cursor& new_line) {
  const unsigned char* char_map = rules.char_map;
  for (;;) {
    int c = next_char(old_line);
    int d = next_char(new_line);
    if (rules.blank_runs && is_space(c) && is_space(d)) {
      if (c != '\n') c = skip_blanks(old_line);
      if (d != '\n') d = skip_blanks(new_line);
    } else if (rules.all_blanks) {
      while (is_space(c) && c != '\n') c = next_char(old_line);
      while (is_space(d) && d != '\n') d = next_char(new_line);
    }
    if (c == EOF || d == EOF) return false;
    if (char_map[c] != char_map[d]) return false;
    if (c == '\n') return true;
  }
}

bool lines_agree(const line_rules& rules, line_cursor& old_line, line_cursor& new_line) {
  if (loose_rules(rules)) return lines_agree_loosely(rules, old_line, new_line);
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

// What every part of the pass reads and writes.
struct verify_pass {
  const line_rules& rules;
  int32_t old_lines, new_lines;
  int32_t* match_vector;
  int64_t* old_offsets;
  int64_t* new_offsets;
};

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
  table<int32_t> broken{};  // old lines whose pairings are to be dropped
  int32_t broken_count = 0;
  int32_t shrunk_from = 0;  // the old line from which no pairing stands, or 0
};

void note_broken(verify_part& part, int32_t i) {
  part.broken.make_room(static_cast<uint64_t>(part.broken_count) + 1);
  part.broken[part.broken_count++] = i;
}

// Drops the pairings the part found broken.
void drop_broken(const verify_pass& pass, verify_part& part) {
  for (int32_t n = 0; n < part.broken_count; ++n) pass.match_vector[part.broken[n]] = 0;
  if (part.shrunk_from != 0)
    for (int32_t i = part.shrunk_from; i <= pass.old_lines; ++i) pass.match_vector[i] = 0;
  part.broken.reset();
}

// Both files ended inside a pair, so they shrank since they were loaded:
// nothing more can be read and no later pairing stands. Each remaining line
// takes one byte past the end, its end of file read once, so that every
// line still moves the offset on.
void end_at_shrunk_files(const verify_pass& pass, verify_part& part, int32_t i, int32_t j) {
  part.shrunk_from = i;
  for (; i <= pass.old_lines; ++i) pass.old_offsets[i] = ++part.old_line.bytes;
  for (; j <= pass.new_lines; ++j) pass.new_offsets[j] = ++part.new_line.bytes;
}

// Runs of pairings that follow one another, old line i with new line j,
// i + 1 with j + 1 and so on, are compared a block at a time where both
// lie whole in their blocks. Each side's position is at the start of its
// line; the pass stops at the start of a line, before the first pair whose
// bytes differ, at the end of the run of pairings or of the part, or where
// either block runs short, and leaves that line to the byte by byte
// comparison. Returns the number of pairs passed; their offsets are set.
int32_t pass_identical_pairs(const verify_pass& pass, verify_part& part, int32_t i, int32_t j) {
  block_reader& old_block = *part.old_line.reader;
  block_reader& new_block = *part.new_line.reader;
  const line_run old_run{old_block.bytes.data() + old_block.pos,
                         old_block.bytes.data() + old_block.end, part.old_line.bytes,
                         pass.old_offsets + i};
  const line_run new_run{new_block.bytes.data() + new_block.pos,
                         new_block.bytes.data() + new_block.end, part.new_line.bytes,
                         pass.new_offsets + j};
  const int32_t most = std::min(part.last_old - i, part.last_new - j) + 1;
  const int32_t passed = pass_equal_lines(old_run, new_run, pass.match_vector + i, j, most);
  if (passed > 0) {
    const int64_t old_end = pass.old_offsets[i + passed - 1];
    const int64_t new_end = pass.new_offsets[j + passed - 1];
    old_block.pos += static_cast<size_t>(old_end - part.old_line.bytes);
    new_block.pos += static_cast<size_t>(new_end - part.new_line.bytes);
    part.old_line.bytes = old_end;
    part.new_line.bytes = new_end;
    part.old_line.last = '\n';
    part.new_line.last = '\n';
  }
  return passed;
}

// Reads lines from..to - 1 of the cursor's file through their newlines and
// sets their offsets: those that end in the block at once, a line across the
// block's end byte by byte.
void skip_lines(line_cursor& cursor, int64_t* offsets, int32_t from, int32_t to) {
  while (from < to) {
    block_reader& block = *cursor.reader;
    const int32_t found = find_line_ends(block.bytes.data() + block.pos, block.bytes.data() + block.end,
                                         to - from, cursor.bytes, offsets + from);
    if (found > 0) {
      from += found;
      block.pos += static_cast<size_t>(offsets[from - 1] - cursor.bytes);
      cursor.bytes = offsets[from - 1];
      cursor.last = '\n';
      if (from == to) return;
    }
    skip_line(cursor);
    offsets[from++] = cursor.bytes;
  }
}

void verify_part_of_pass(const verify_pass& pass, verify_part& part) {
  line_cursor& old_line = part.old_line;
  line_cursor& new_line = part.new_line;
  const int32_t* match_vector = pass.match_vector;
  const bool exact = !loose_rules(pass.rules);
  int32_t j = part.first_new;  // the next new line to account for
  for (int32_t i = part.first_old; i <= part.last_old; ++i) {
    int32_t m = match_vector[i];
    if (m == 0) {
      // A run of unpaired old lines.
      int32_t after = i + 1;
      while (after <= part.last_old && match_vector[after] == 0) ++after;
      skip_lines(old_line, pass.old_offsets, i, after);
      i = after - 1;
      continue;
    }
    if (exact && m == j) {
      // Most pairings on files much alike follow one another: pass over
      // them a block at a time while their bytes agree.
      int32_t passed = pass_identical_pairs(pass, part, i, j);
      if (passed > 0) {
        i += passed - 1;
        j += passed;
        continue;
      }
    }
    skip_lines(new_line, pass.new_offsets, j, m);
    j = std::max(j, m);
    if (!lines_agree(pass.rules, old_line, new_line)) {
      note_broken(part, i);
      if (old_line.last == EOF && new_line.last == EOF) {
        if (part.last) {
          end_at_shrunk_files(pass, part, i, j);
        } else {
          part.failed = true;
        }
        return;
      }
      finish_line(old_line);
      finish_line(new_line);
    }
    pass.old_offsets[i] = old_line.bytes;
    pass.new_offsets[j++] = new_line.bytes;
  }
  skip_lines(new_line, pass.new_offsets, j, part.last_new + 1);
  if (!part.last && (old_line.reader->met_end || new_line.reader->met_end)) part.failed = true;
}

owned_fd open_input(const char* path) { return owned_fd(open(path, O_RDONLY)); }

// The whole pass as one part, from the start of both files.
void verify_whole_files(const verify_pass& pass, const owned_fd (&files)[2],
                        const char* const (&paths)[2]) {
  block_reader readers[2] = {make_block_reader(files[0].get(), 0, paths[0]),
                             make_block_reader(files[1].get(), 0, paths[1])};
  verify_part whole{1, pass.old_lines, 1, pass.new_lines, true, line_cursor{&readers[0], 0, 0},
                    line_cursor{&readers[1], 0, 0}};
  verify_part_of_pass(pass, whole);
  drop_broken(pass, whole);
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
bool find_split(const verify_pass& pass, const line_tables& tables, pass_split* split) {
  constexpr int32_t kFewestMarks = 3;
  const int32_t* mark_count = tables.line_mark_count;
  if (mark_count[0] < kFewestMarks || tables.line_marks[0].has_no_block() ||
      tables.line_marks[1].has_no_block() || mark_count[1] < 1)
    return false;
  split->old_mark = tables.line_marks[0][mark_count[0] / 2];
  int32_t first_lines = split->old_mark.lines_before;
  if (first_lines < 1 || first_lines >= pass.old_lines) return false;
  int32_t i = first_lines;
  while (i > 0 && pass.match_vector[i] == 0) --i;
  split->last_new = pass.match_vector[i];
  // The last mark at or before the new line after that pairing.
  const line_mark* marks = tables.line_marks[1].data();
  const line_mark* after = std::upper_bound(
      marks, marks + mark_count[1], split->last_new,
      [](int32_t lines, const line_mark& mark) { return lines < mark.lines_before; });
  split->new_mark = *(after - 1);
  return true;
}

// The second part reads on from the new mark to its first new line, and
// returns the offset at which that line begins.
int64_t start_second_part(verify_part& part, const pass_split& split) {
  block_reader& new_reader = *part.new_line.reader;
  for (int32_t lines = split.new_mark.lines_before; lines < split.last_new; ++lines)
    part.new_line.bytes += skip_rest_of_line(new_reader);
  if (new_reader.met_end) part.failed = true;
  return part.new_line.bytes;
}

// Runs the pass in two parts on two threads. False when the second part's
// files cannot be opened, or when the files changed since they were loaded,
// so that the parts do not meet: the caller then runs the whole pass again.
bool verify_in_two_parts(const verify_pass& pass, const pass_split& split,
                         const owned_fd (&files)[2], const char* const (&paths)[2],
                         uint64_t operand_bytes) {
  const owned_fd second_files[2] = {open_input(paths[0]), open_input(paths[1])};
  bool seeked = second_files[0].is_open() && second_files[1].is_open() &&
                lseek(second_files[0].get(), split.old_mark.offset, SEEK_SET) >= 0 &&
                lseek(second_files[1].get(), split.new_mark.offset, SEEK_SET) >= 0;
  if (!seeked) return false;
  block_reader readers[2][2] = {
      {make_block_reader(files[0].get(), 0, paths[0]),
       make_block_reader(files[1].get(), 0, paths[1])},
      {make_block_reader(second_files[0].get(), split.old_mark.offset, paths[0]),
       make_block_reader(second_files[1].get(), split.new_mark.offset, paths[1])}};
  const int32_t first_lines = split.old_mark.lines_before;
  verify_part first{1,
                    first_lines,
                    1,
                    split.last_new,
                    false,
                    line_cursor{&readers[0][0], 0, 0},
                    line_cursor{&readers[0][1], 0, 0}};
  verify_part second{first_lines + 1,
                     pass.old_lines,
                     split.last_new + 1,
                     pass.new_lines,
                     true,
                     line_cursor{&readers[1][0], split.old_mark.offset, '\n'},
                     line_cursor{&readers[1][1], split.new_mark.offset, '\n'}};
  int64_t second_new_start = 0;
  run_both(
      true, operand_bytes,
      [&] {
        second_new_start = start_second_part(second, split);
        if (!second.failed) verify_part_of_pass(pass, second);
      },
      [&] { verify_part_of_pass(pass, first); });
  // The parts stand only when the first ends exactly where the second began.
  bool met = !first.failed && !second.failed && first.old_line.bytes == split.old_mark.offset &&
             first.new_line.bytes == second_new_start;
  if (!met) {
    first.broken_count = second.broken_count = 0;
    second.shrunk_from = 0;
  }
  drop_broken(pass, first);
  drop_broken(pass, second);
  return met;
}

}  // namespace

void verify_matches(const line_rules& rules, const char* old_path, const char* new_path,
                    const line_tables& tables, match_result& result) {
  const char* paths[2] = {old_path, new_path};
  owned_fd files[2];
  for (int slot = 0; slot < 2; ++slot) {
    files[slot] = open_input(paths[slot]);
    if (!files[slot].is_open()) {
      perror(paths[slot]);
      exit_run();
    }
  }
  const verify_pass pass{rules, result.line_count[0], result.line_count[1],
                         result.match_vector.data(), result.old_offsets.data(),
                         result.new_offsets.data()};
  pass.old_offsets[0] = 0;
  pass.new_offsets[0] = 0;
  pass_split split;
  bool split_tried = find_split(pass, tables, &split);
  if (!split_tried || !verify_in_two_parts(pass, split, files, paths, tables.operand_bytes)) {
    if (split_tried) {
      stage_hook("verify-again");
      // From the start of both files again.
      for (const owned_fd& file : files) lseek(file.get(), 0, SEEK_SET);
    }
    verify_whole_files(pass, files, paths);
  }
}
