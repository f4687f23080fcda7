#include "output/context_listing.h"

#include <sys/stat.h>

#include <cstdio>
#include <ctime>

#include "cli/run_options.h"
#include "cli/run_state.h"
#include "engine/line_table.h"
#include "engine/verify_matches.h"
#include "output/change_walk.h"
#include "output/copy_out_lines.h"

change_range pending_changes[max_pending_changes];
int32_t context_count = 0;

int32_t min_int(int32_t x, int32_t y) { return x < y ? x : y; }
int32_t max_int(int32_t x, int32_t y) { return x > y ? x : y; }

namespace {

// ctime of the file's modification time; the epoch when it cannot be looked
// up (the file was read moments before, so this is only a fallback).
const char* modification_time(const char* path) {
  struct stat status = {};
  time_t when = 0;
  if (stat(path, &status) == 0) when = status.st_mtime;
  const char* text = ctime(&when);
  return text != nullptr ? text : "\n";
}

// Line bounds are computed in 64 bits, so that a large context count cannot
// overflow, and saturated back into the 32-bit range.
int32_t saturate(int64_t line) {
  if (line > INT32_MAX) return INT32_MAX;
  if (line < INT32_MIN) return INT32_MIN;
  return static_cast<int32_t>(line);
}

bool far_apart(const change_range& last, int32_t a, int32_t c) {
  const int64_t reach = 2 * static_cast<int64_t>(options.context_lines);
  return a > last.b + reach && c > last.d + reach;
}

// The lines of one side (0 old, 1 new) of a change.
int32_t side_first(const change_range& ch, int side) { return side == 0 ? ch.a : ch.c; }
int32_t side_last(const change_range& ch, int side) { return side == 0 ? ch.b : ch.d; }

bool group_has_lines(int side) {
  for (int32_t k = 0; k < context_count; ++k) {
    if (side_first(pending_changes[k], side) <= side_last(pending_changes[k], side)) return true;
  }
  return false;
}

// One side of the pending group from line first to line last: unchanged
// lines after two blanks, changed lines marked "! " when the change has lines
// on both sides, else "- " (old side) or "+ " (new side).
void print_group_side(int side, int32_t first, int32_t last) {
  const int64_t* offsets = side == 0 ? old_offsets : new_offsets;
  FILE* stream = input_streams[side];
  const char* one_sided = side == 0 ? "- " : "+ ";
  int32_t r = first;
  for (int32_t k = 0; k < context_count; ++k) {
    const change_range& ch = pending_changes[k];
    const int32_t from = side_first(ch, side);
    const int32_t to = side_last(ch, side);
    const bool other_side_empty = side_first(ch, 1 - side) > side_last(ch, 1 - side);
    copy_out_lines(offsets, r, from - 1, stream, "  ", 0);
    if (from <= to) copy_out_lines(offsets, from, to, stream, other_side_empty ? one_sided : "! ", 0);
    r = to + 1;
  }
  copy_out_lines(offsets, r, last, stream, "  ", 0);
}

}  // namespace

void context_header() {
  printf("*** %s\t", state.path1);
  printf("%s--- %s\t", modification_time(state.path1), state.path2);
  printf("%s", modification_time(state.path2));
  context_count = 0;
}

void record_change(int32_t a, int32_t b, int32_t c, int32_t d) {
  if (context_count == max_pending_changes) {
    flush_context();
  } else if (context_count > 0 && far_apart(pending_changes[context_count - 1], a, c)) {
    flush_context();
  }
  pending_changes[context_count++] = change_range{a, b, c, d};
}

void flush_context() {
  if (context_count == 0) return;
  const change_range& first = pending_changes[0];
  const change_range& last = pending_changes[context_count - 1];
  const int64_t context = options.context_lines;
  const int32_t old_first = max_int(1, saturate(first.a - context));
  const int32_t old_last = min_int(line_count[0], saturate(last.b + context));
  const int32_t new_first = max_int(1, saturate(first.c - context));
  const int32_t new_last = min_int(line_count[1], saturate(last.d + context));

  fputs("***************\n*** ", stdout);
  print_range(old_first, old_last, ",");
  fputs(" ****\n", stdout);
  if (group_has_lines(0)) print_group_side(0, old_first, old_last);

  fputs("--- ", stdout);
  print_range(new_first, new_last, ",");
  fputs(" ----\n", stdout);
  if (group_has_lines(1)) print_group_side(1, new_first, new_last);

  context_count = 0;
}
