#include "dircmp/compare_entry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/exit_run.h"
#include "base/looks_like_text.h"
#include "base/owned_files.h"
#include "base/same_contents.h"
#include "dircmp/ed_heading.h"
#include "dircmp/run_child_comparison.h"

namespace {

using enum output_format;

// The two open entries of one pair.
struct entry_pair {
  owned_fd fd1;
  owned_fd fd2;
  struct stat stat1;
  struct stat stat2;
  bool unreadable = false;  // a read failed and was reported: no answer
};

// A failed read of an entry is reported, and the entry gets no answer: what
// was read is not the whole file.
bool read_or_report(entry_pair& pair, bool failed, const char* path) {
  if (!failed) return true;
  report_path_error(path);
  pair.unreadable = true;
  return false;
}

// Both entry paths must fit their buffers before a name is copied there.
bool place_entry_name(run_state& state, const char* name) {
  const dir_path dirs[2] = {side_dir_path(state, 0), side_dir_path(state, 1)};
  for (const dir_path& dir : dirs) {
    if (!entry_path_fits(dir, name)) {
      report_long_entry_path(dir, name);
      return false;
    }
  }
  strcpy(state.path1_end, name);
  strcpy(state.path2_end, name);
  return true;
}

// Opens without waiting, so that a FIFO does not hold up the walk.
owned_fd open_entry(const char* path) {
  owned_fd fd(open(path, O_RDONLY | O_NONBLOCK));
  if (!fd.is_open()) perror(path);
  return fd;
}

bool stat_entry(const owned_fd& fd, const char* path, struct stat* status) {
  if (fstat(fd.get(), status) == 0) return true;
  perror(path);
  return false;
}

bool same_regular_contents(const run_state& state, entry_pair& pair) {
  int failed_file = -1;
  const bool same =
      same_contents(pair.fd1.get(), pair.fd2.get(), pair.stat1, pair.stat2, &failed_file);
  if (failed_file >= 0) read_or_report(pair, true, failed_file == 0 ? state.path1 : state.path2);
  return same;
}

bool are_identical(const run_state& state, entry_pair& pair) {
  const mode_t type1 = pair.stat1.st_mode & S_IFMT;
  const mode_t type2 = pair.stat2.st_mode & S_IFMT;
  if (type1 != type2) return false;
  if (type1 == S_IFREG) return same_regular_contents(state, pair);
  // Special files of one type: the same when they stand for the same device.
  return pair.stat1.st_rdev == pair.stat2.st_rdev;
}

// The binary-content test of one entry, short-circuited as the pair's test
// is: the second entry is read only when the first looks like text. A
// directory against a file holds no bytes to test, as if it were empty.
bool entry_looks_like_text(entry_pair& pair, int fd, const struct stat& status,
                           const char* path) {
  if (S_ISDIR(status.st_mode)) return true;
  bool failed = false;
  const bool text = looks_like_text(fd, &failed);
  // Entries are opened without waiting: a FIFO with nothing in it yet has
  // no bytes to test either.
  if (failed && (errno == EAGAIN || errno == EWOULDBLOCK)) failed = false;
  read_or_report(pair, failed, path);
  return text;
}

void report_common_subdirectory(const run_options& options, const run_state& state,
                                dir_entry& entry) {
  entry.flags = ENTRY_DIRECTORY;
  if (options.long_listing == 0 && options.output_format != FMT_EDIT) {
    printf("Common subdirectories: %s and %s\n", state.path1, state.path2);
  }
}

void report_identical(const run_options& options, const run_state& state, dir_entry& entry) {
  if (options.report_identical == 0) return;
  if (options.long_listing != 0) entry.flags = ENTRY_SAME;
  else printf("Files %s and %s are identical\n", state.path1, state.path2);
}

void report_binary(const run_options& options, const run_state& state, dir_entry& entry) {
  if (options.long_listing != 0) {
    entry.flags |= ENTRY_BINARY;
  } else if (options.output_format == FMT_NORMAL || options.output_format == FMT_CONTEXT) {
    printf("Binary files %s and %s differ\n", state.path1, state.path2);
  }
}

// Differing text files: the child run prints the changes.
void compare_text_pair(const run_options& options, const run_state& state, command_title& title,
                       const dir_entry& entry) {
  if (options.long_listing != 0) {
    run_child_comparison(state, &title);
  } else if (options.output_format == FMT_EDIT) {
    // A here-document that feeds the pair's script to ed on the entry.
    fputs(ed_heading(entry.name).c_str(), stdout);
    run_child_comparison(state, nullptr);
    fputs("w\nq\n-*-END-*-\n", stdout);
  } else {
    printf("%s%s %s\n", title.listing_title, state.path1, state.path2);
    run_child_comparison(state, nullptr);
  }
}

}  // namespace

void compare_entry(const run_options& options, run_state& state, command_title& title,
                   dir_entry& entry) {
  if (!place_entry_name(state, entry.name)) return;
  entry_pair pair{};
  pair.fd1 = open_entry(state.path1);
  if (!pair.fd1.is_open()) return;
  pair.fd2 = open_entry(state.path2);
  if (!pair.fd2.is_open()) return;
  if (!stat_entry(pair.fd1, state.path1, &pair.stat1) ||
      !stat_entry(pair.fd2, state.path2, &pair.stat2))
    return;
  if (S_ISDIR(pair.stat1.st_mode) && S_ISDIR(pair.stat2.st_mode)) {
    report_common_subdirectory(options, state, entry);
    return;
  }
  const bool identical = are_identical(state, pair);
  if (pair.unreadable) return;
  if (identical) {
    report_identical(options, state, entry);
    return;
  }
  if (!entry_looks_like_text(pair, pair.fd1.get(), pair.stat1, state.path1)) {
    if (!pair.unreadable) report_binary(options, state, entry);
    return;
  }
  const bool text = entry_looks_like_text(pair, pair.fd2.get(), pair.stat2, state.path2);
  if (pair.unreadable) return;
  // Both are closed before a child run starts.
  pair.fd1.close_now();
  pair.fd2.close_now();
  if (text) compare_text_pair(options, state, title, entry);
  else report_binary(options, state, entry);
}
