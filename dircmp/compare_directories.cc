#include "dircmp/compare_directories.h"

#include <cstdio>
#include <cstring>

#include "base/exit_run.h"
#include "base/messages.h"
#include "dircmp/compare_entry.h"
#include "dircmp/listing_title.h"
#include "dircmp/read_directory.h"
#include "dircmp/run_child_comparison.h"

namespace {

using enum output_format;

// One directory comparison: the run's records, the title of its child runs,
// and whether a summary header was printed, so that every later section is
// set off by an empty line and the recursion by a form feed.
struct dir_walk {
  const run_options& options;
  run_state& state;
  command_title title;
  bool summary_started = false;
};

// The sides of side_dir_path.
enum listing_side { kFirstSide = 0, kSecondSide = 1 };

// The directory as the command line named it: the buffer without the
// appended "/" and whatever name stands behind it.
int dir_precision(dir_path dir) { return static_cast<int>(dir.end - dir.buffer - 1); }

void check_start(const run_options& options) {
  if (options.output_format == FMT_IFDEF) {
    fputs(kMsgIfdefWithDirectories, stderr);
    exit_run();
  }
  if (options.output_format == FMT_EDIT &&
      (options.long_listing != 0 || options.report_identical != 0)) {
    fputs(kMsgWarnSLWithE, stderr);
  }
}

// Turns the operands into directory path buffers; child runs get the entry
// paths these buffers hold through the last two entries of arg_vector.
void set_up_path_buffers(run_state& state) {
  const dir_path first = make_dir_path(state.path1);
  const dir_path second = make_dir_path(state.path2);
  state.path1 = first.buffer;
  state.path1_end = first.end;
  state.path2 = second.buffer;
  state.path2_end = second.end;
  int count = 0;
  while (state.arg_vector[count] != nullptr) ++count;
  state.arg_vector[count - 2] = state.path1;
  state.arg_vector[count - 1] = state.path2;
}

void report_only_in(const dir_walk& walk, dir_entry& entry, listing_side side) {
  const run_options& options = walk.options;
  if (options.long_listing != 0) {
    entry.flags |= ENTRY_ONLY;
    return;
  }
  if (options.output_format != FMT_NORMAL && options.output_format != FMT_CONTEXT) return;
  const dir_path dir = side_dir_path(walk.state, side);
  printf("Only in %.*s: %s\n", dir_precision(dir), dir.buffer, entry.name);
}

void walk_listings(dir_walk& walk, dir_entry* first, dir_entry* second) {
  for (;;) {
    const char* start_name = walk.options.start_name;
    while (first->name != nullptr && skip_entry_name(first->name, start_name)) ++first;
    if (second->name != nullptr && skip_entry_name(second->name, start_name)) {
      ++second;
      continue;
    }
    if (first->name == nullptr && second->name == nullptr) return;
    if (first->name == nullptr) {
      report_only_in(walk, *second++, kSecondSide);
    } else if (second->name == nullptr) {
      report_only_in(walk, *first++, kFirstSide);
    } else {
      const int order = strcmp(first->name, second->name);
      if (order < 0) {
        report_only_in(walk, *first++, kFirstSide);
      } else if (order == 0) {
        compare_entry(walk.options, walk.state, walk.title, *first++);
        ++second;
      } else {
        report_only_in(walk, *second++, kSecondSide);
      }
    }
  }
}

// One summary section: the header, then every entry carrying flag. The
// header format takes one directory ("Only in") or both; a section without
// such an entry prints nothing.
void print_flagged_entries(dir_walk& walk, const dir_entry* listing, uint64_t flag,
                           const char* header, dir_path dir1, dir_path dir2) {
  bool header_printed = false;
  for (const dir_entry* entry = listing; entry->name != nullptr; ++entry) {
    if ((entry->flags & flag) == 0) continue;
    if (!header_printed) {
      if (walk.summary_started) putchar('\n');
      walk.summary_started = true;
      printf(header, dir_precision(dir1), dir1.buffer, dir_precision(dir2), dir2.buffer);
      fputs(":\n", stdout);
      header_printed = true;
    }
    printf("\t%s\n", entry->name);
  }
}

void print_summaries(dir_walk& walk, const dir_entry* first, const dir_entry* second) {
  const dir_path dir1 = side_dir_path(walk.state, kFirstSide);
  const dir_path dir2 = side_dir_path(walk.state, kSecondSide);
  print_flagged_entries(walk, first, ENTRY_ONLY, "Only in %.*s", dir1, dir2);
  print_flagged_entries(walk, second, ENTRY_ONLY, "Only in %.*s", dir2, dir1);
  print_flagged_entries(walk, first, ENTRY_SAME, "Common identical files in %.*s and %.*s", dir1, dir2);
  print_flagged_entries(walk, first, ENTRY_BINARY, "Binary files which differ in %.*s and %.*s", dir1,
                        dir2);
  print_flagged_entries(walk, first, ENTRY_DIRECTORY, "Common subdirectories of %.*s and %.*s", dir1,
                        dir2);
}

// A child run for every common subdirectory, which recurses in its turn.
void enter_subdirectories(const dir_walk& walk, const dir_entry* first) {
  if (walk.summary_started) putchar('\f');
  for (const dir_entry* entry = first; entry->name != nullptr; ++entry) {
    if ((entry->flags & ENTRY_DIRECTORY) == 0) continue;
    // The name fitted both buffers when compare_entry marked it.
    strcpy(walk.state.path1_end, entry->name);
    strcpy(walk.state.path2_end, entry->name);
    run_child_comparison(walk.state, nullptr);
  }
}

}  // namespace

void compare_directories(const run_options& options, run_state& state) {
  check_start(options);
  dir_walk walk{options, state, {}};
  build_listing_title(walk.title, state.arg_vector);
  set_up_path_buffers(state);
  const dir_listing first = read_directory(state.path1);
  const dir_listing second = read_directory(state.path2);
  walk_listings(walk, first.get(), second.get());
  if (options.long_listing != 0) print_summaries(walk, first.get(), second.get());
  if (options.recursive != 0) enter_subdirectories(walk, first.get());
}
