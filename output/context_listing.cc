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

void print_old_side(int32_t first, int32_t last_line) {
  const change_range& last = pending_changes[context_count - 1];
  int32_t r = first;
  for (int32_t k = 0; k < context_count; ++k) {
    const change_range& ch = pending_changes[k];
    copy_out_lines(old_offsets, r, ch.a - 1, input_streams[0], "  ", 0);
    if (ch.a <= ch.b) {
      copy_out_lines(old_offsets, ch.a, ch.b, input_streams[0], ch.c > ch.d ? "- " : "! ", 0);
    }
    r = ch.b + 1;
  }
  copy_out_lines(old_offsets, last.b + 1, last_line, input_streams[0], "  ", 0);
}

void print_new_side(int32_t first, int32_t last_line) {
  const change_range& last = pending_changes[context_count - 1];
  int32_t r = first;
  for (int32_t k = 0; k < context_count; ++k) {
    const change_range& ch = pending_changes[k];
    copy_out_lines(new_offsets, r, ch.c - 1, input_streams[1], "  ", 0);
    if (ch.c <= ch.d) {
      copy_out_lines(new_offsets, ch.c, ch.d, input_streams[1], ch.a > ch.b ? "+ " : "! ", 0);
    }
    r = ch.d + 1;
  }
  copy_out_lines(new_offsets, last.d + 1, last_line, input_streams[1], "  ", 0);
}

bool group_has_old_lines() {
  for (int32_t k = 0; k < context_count; ++k) {
    if (pending_changes[k].a <= pending_changes[k].b) return true;
  }
  return false;
}

bool group_has_new_lines() {
  for (int32_t k = 0; k < context_count; ++k) {
    if (pending_changes[k].c <= pending_changes[k].d) return true;
  }
  return false;
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
  if (group_has_old_lines()) print_old_side(old_first, old_last);

  fputs("--- ", stdout);
  print_range(new_first, new_last, ",");
  fputs(" ----\n", stdout);
  if (group_has_new_lines()) print_new_side(new_first, new_last);

  context_count = 0;
}
