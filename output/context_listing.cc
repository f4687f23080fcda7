#include "output/context_listing.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <ctime>

#include "base/exit_run.h"
#include "output/print_range.h"

namespace {

// ctime of the file's modification time. A file that cannot be looked up
// any more ends the run: a header with a made-up time is no true listing.
const char* modification_time(const char* path) {
  struct stat status = {};
  if (stat(path, &status) != 0) read_failed(path);
  const time_t when = status.st_mtime;
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

bool far_apart(int32_t context_lines, const change_range& last, int32_t a, int32_t c) {
  const int64_t reach = 2 * static_cast<int64_t>(context_lines);
  return a > last.b + reach && c > last.d + reach;
}

// The lines of one side (0 old, 1 new) of a change.
int32_t side_first(const change_range& ch, int side) { return side == 0 ? ch.a : ch.c; }
int32_t side_last(const change_range& ch, int side) { return side == 0 ? ch.b : ch.d; }

bool group_has_lines(const context_listing& listing, int side) {
  for (int32_t k = 0; k < listing.context_count; ++k) {
    const change_range& ch = listing.pending_changes[k];
    if (side_first(ch, side) <= side_last(ch, side)) return true;
  }
  return false;
}

// One side of the pending group from line first to line last: unchanged
// lines after two blanks, changed lines marked "! " when the change has lines
// on both sides, else "- " (old side) or "+ " (new side).
void print_group_side(line_output& out, const match_result& result,
                      const context_listing& listing, int side, int32_t first, int32_t last) {
  const int64_t* offsets = side == 0 ? result.old_offsets.data() : result.new_offsets.data();
  const char* one_sided = side == 0 ? "- " : "+ ";
  int32_t r = first;
  for (int32_t k = 0; k < listing.context_count; ++k) {
    const change_range& ch = listing.pending_changes[k];
    const int32_t from = side_first(ch, side);
    const int32_t to = side_last(ch, side);
    const bool other_side_empty = side_first(ch, 1 - side) > side_last(ch, 1 - side);
    copy_out_lines(out, offsets, r, from - 1, side, "  ", 0);
    if (from <= to)
      copy_out_lines(out, offsets, from, to, side, other_side_empty ? one_sided : "! ", 0);
    r = to + 1;
  }
  copy_out_lines(out, offsets, r, last, side, "  ", 0);
}

}  // namespace

void context_header(const print_request& request, context_listing& listing) {
  printf("*** %s\t", request.path1);
  printf("%s--- %s\t", modification_time(request.path1), request.path2);
  printf("%s", modification_time(request.path2));
  listing.context_count = 0;
}

void record_change(line_output& out, const match_result& result, context_listing& listing,
                   const change_range& change) {
  const int32_t count = listing.context_count;
  if (count == kMostPendingChanges ||
      (count > 0 && far_apart(out.request->context_lines, listing.pending_changes[count - 1],
                              change.a, change.c)))
    flush_context(out, result, listing);
  listing.pending_changes[listing.context_count++] = change;
}

void flush_context(line_output& out, const match_result& result, context_listing& listing) {
  if (listing.context_count == 0) return;
  const change_range& first = listing.pending_changes[0];
  const change_range& last = listing.pending_changes[listing.context_count - 1];
  const int64_t context = out.request->context_lines;
  const int32_t old_first = std::max(1, saturate(first.a - context));
  const int32_t old_last = std::min(result.line_count[0], saturate(last.b + context));
  const int32_t new_first = std::max(1, saturate(first.c - context));
  const int32_t new_last = std::min(result.line_count[1], saturate(last.d + context));
  fputs("***************\n*** ", stdout);
  print_range(old_first, old_last, ",");
  fputs(" ****\n", stdout);
  if (group_has_lines(listing, 0)) print_group_side(out, result, listing, 0, old_first, old_last);
  fputs("--- ", stdout);
  print_range(new_first, new_last, ",");
  fputs(" ----\n", stdout);
  if (group_has_lines(listing, 1)) print_group_side(out, result, listing, 1, new_first, new_last);
  listing.context_count = 0;
}
