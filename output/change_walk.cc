#include "output/change_walk.h"

#include <cstdio>

#include "output/context_listing.h"
#include "output/copy_out_lines.h"
#include "output/print_range.h"

namespace {

using enum output_format;

// One walk's output: the line printing, the pending context group, and
// whether a change was reported yet.
struct change_walk {
  const print_request& request;
  match_result& result;
  line_output out;
  context_listing listing;
  bool changes_found = false;
};

char change_letter(int32_t a, int32_t b, int32_t c, int32_t d) {
  if (b < a) return 'a';
  if (d < c) return 'd';
  return 'c';
}

void print_command_line(output_format format, int32_t a, int32_t b, int32_t c, int32_t d) {
  const char letter = change_letter(a, b, c, d);
  switch (format) {
    case FMT_NORMAL:
      print_range(a, b, ",");
      putchar(letter);
      print_range(c, d, ",");
      putchar('\n');
      break;
    case FMT_EDIT:
      print_range(a, b, ",");
      printf("%c\n", letter);
      break;
    case FMT_REVERSE:
      putchar(letter);
      print_range(a, b, " ");
      putchar('\n');
      break;
    case FMT_NUMBERED:
      if (b >= a) printf("d%d %d\n", a, b - a + 1);
      if (d >= c) printf("a%d %d\n", b, d - c + 1);
      break;
    case FMT_CONTEXT:
    case FMT_IFDEF:
      break;  // their changes print no command line
  }
}

// Prints one change: old lines a..b replaced by new lines c..d.
void report_change(change_walk& walk, int32_t a, int32_t b, int32_t c, int32_t d) {
  const output_format format = walk.request.output_format;
  const bool has_old = b >= a;
  const bool has_new = d >= c;
  if (!has_old && !has_new && format != FMT_IFDEF) return;
  if (!walk.changes_found) {
    walk.changes_found = true;
    if (format == FMT_CONTEXT) context_header(walk.request, walk.listing);
  }
  if (format == FMT_CONTEXT) {
    record_change(walk.out, walk.result, walk.listing, change_range{a, b, c, d});
    return;
  }
  print_command_line(format, a, b, c, d);
  if (format == FMT_NORMAL || format == FMT_IFDEF) {
    copy_out_lines(walk.out, walk.result.old_offsets.data(), a, b, 0, "< ", 1);
    if (format == FMT_NORMAL && has_old && has_new) fputs("---\n", stdout);
  }
  copy_out_lines(walk.out, walk.result.new_offsets.data(), c, d, 1,
                 format == FMT_NORMAL ? "> " : "", 0);
  if ((format == FMT_EDIT || format == FMT_REVERSE) && has_new) fputs(".\n", stdout);
  close_conditional_block(walk.out);
}


// Forward walk: changes in ascending order; the last call has b = m.
void walk_forward(change_walk& walk, int32_t* v, int32_t m) {
  int32_t i = 1;
  while (i <= m) {
    while (i <= m && v[i] == v[i - 1] + 1) ++i;
    const int32_t a = i;
    const int32_t c = v[a - 1] + 1;
    int32_t b = a - 1;
    while (b < m && v[b + 1] == 0) ++b;
    const int32_t d = v[b + 1] - 1;
    // The next pass then steps at once over old line b + 1.
    v[b] = d;
    report_change(walk, a, b, c, d);
    i = b + 1;
  }
}

// Backward walk (editor script): changes in descending order, so that the
// line numbers of each command are still those of the old file when ed runs
// it; the last call has a = 1 and c = 1.
void walk_backward(change_walk& walk, int32_t* v, int32_t m) {
  int32_t b = m;
  while (b >= 1) {
    while (b >= 1 && v[b] != 0 && v[b] == v[b + 1] - 1) --b;
    const int32_t d = v[b + 1] - 1;
    int32_t a = b + 1;
    while (a > 1 && v[a - 1] == 0) --a;
    const int32_t c = v[a - 1] + 1;
    v[a] = c;
    report_change(walk, a, b, c, d);
    b = a - 1;
  }
}

}  // namespace

bool emit_changes(match_result& result, const print_request& request) {
  change_walk walk{request, result, {}, {}, false};
  start_line_output(walk.out, request);
  int32_t* match_vector = result.match_vector.data();
  const int32_t m = result.line_count[0];
  const int32_t n = result.line_count[1];
  match_vector[0] = 0;
  match_vector[m + 1] = n + 1;
  if (request.output_format == FMT_EDIT) {
    walk_backward(walk, match_vector, m);
  } else {
    walk_forward(walk, match_vector, m);
  }
  if (m == 0) report_change(walk, 1, 0, 1, n);
  if (request.output_format == FMT_IFDEF) copy_rest_of_old_file(walk.out);
  if (request.output_format == FMT_CONTEXT && walk.changes_found)
    flush_context(walk.out, result, walk.listing);
  return walk.changes_found;
}
