#include "output/change_walk.h"

#include <cstdio>

#include "cli/exit_run.h"
#include "cli/run_options.h"
#include "cli/run_state.h"
#include "engine/line_table.h"
#include "engine/match_vector.h"
#include "engine/verify_matches.h"
#include "output/context_listing.h"
#include "output/copy_out_lines.h"

namespace {

// Opens one of the input streams again for printing; both were read moments
// before, so a failure here is reported like one in verification.
FILE* reopen(const char* path) {
  FILE* stream = fopen(path, "r");
  if (stream == nullptr) {
    perror(path);
    exit_run();
  }
  return stream;
}

char change_letter(int32_t a, int32_t b, int32_t c, int32_t d) {
  if (b < a) return 'a';
  if (d < c) return 'd';
  return 'c';
}

void print_command_line(int32_t a, int32_t b, int32_t c, int32_t d) {
  const char letter = change_letter(a, b, c, d);
  switch (options.output_format) {
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
    default:
      break;
  }
}

// Forward walk: changes in ascending order; the last call has b = m.
void walk_forward(int32_t* v, int32_t m) {
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
    report_change(a, b, c, d);
    i = b + 1;
  }
}

// Backward walk (editor script): changes in descending order, so that the
// line numbers of each command are still those of the old file when ed runs
// it; the last call has a = 1 and c = 1.
void walk_backward(int32_t* v, int32_t m) {
  int32_t b = m;
  while (b >= 1) {
    while (b >= 1 && v[b] != 0 && v[b] == v[b + 1] - 1) --b;
    const int32_t d = v[b + 1] - 1;
    int32_t a = b + 1;
    while (a > 1 && v[a - 1] == 0) --a;
    const int32_t c = v[a - 1] + 1;
    v[a] = c;
    report_change(a, b, c, d);
    b = a - 1;
  }
}

// Under FMT_IFDEF the old file's bytes after its last copied line (the text
// after its last newline, or all of it when it has no lines).
void copy_rest_of_old_file() {
  char block[65536];
  size_t got;
  while ((got = fread(block, 1, sizeof block, input_streams[0])) > 0) {
    fwrite(block, 1, got, stdout);
  }
}

}  // namespace

void print_range(int32_t first, int32_t last, const char* separator) {
  printf("%d", first < last ? first : last);
  if (first < last) printf("%s%d", separator, last);
}

void emit_changes() {
  input_streams[0] = reopen(state.path1);
  input_streams[1] = reopen(state.path2);
  start_line_output(input_streams[0], input_streams[1]);
  const int32_t m = line_count[0];
  const int32_t n = line_count[1];
  match_vector[0] = 0;
  match_vector[m + 1] = n + 1;
  if (options.output_format == FMT_EDIT) {
    walk_backward(match_vector, m);
  } else {
    walk_forward(match_vector, m);
  }
  if (m == 0) report_change(1, 0, 1, n);
  if (options.output_format == FMT_IFDEF) copy_rest_of_old_file();
  if (options.output_format == FMT_CONTEXT && state.changes_found) flush_context();
}

void report_change(int32_t a, int32_t b, int32_t c, int32_t d) {
  const int32_t format = options.output_format;
  const bool has_old = b >= a;
  const bool has_new = d >= c;
  if (!has_old && !has_new && format != FMT_IFDEF) return;
  if (state.changes_found == 0) {
    state.changes_found = 1;
    if (format == FMT_CONTEXT) context_header();
  }
  if (format == FMT_CONTEXT) {
    record_change(a, b, c, d);
    return;
  }
  print_command_line(a, b, c, d);
  if (format == FMT_NORMAL || format == FMT_IFDEF) {
    copy_out_lines(old_offsets, a, b, input_streams[0], "< ", 1);
    if (format == FMT_NORMAL && has_old && has_new) fputs("---\n", stdout);
  }
  copy_out_lines(new_offsets, c, d, input_streams[1], format == FMT_NORMAL ? "> " : "", 0);
  if ((format == FMT_EDIT || format == FMT_REVERSE) && has_new) fputs(".\n", stdout);
  if (open_block != 0) {
    printf("#endif %s\n", block_label);
    open_block = 0;
  }
}
