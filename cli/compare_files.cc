#include "cli/compare_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/exit_run.h"
#include "base/looks_like_text.h"
#include "base/messages.h"
#include "base/owned_files.h"
#include "base/same_contents.h"
#include "base/stage_hook.h"
#include "base/build_paths.h"
#include "cli/spool_stdin.h"
#include "engine/line_table.h"
#include "engine/match_lines.h"
#include "output/change_walk.h"

namespace {

using enum output_format;

constexpr size_t kPathBytes = 1024;

// Under -h the helper program takes the run over with the same command line;
// it resolves directories and "-" itself.
[[noreturn]] void hand_off_to_helper(run_state& state) {
  state.arg_vector[0] = const_cast<char*>("varnh");
  execv(OVARN_HELPER_PATH, state.arg_vector);
  report_path_error(OVARN_HELPER_PATH);
  exit_run();
}

bool is_stdin(const char* path) { return strcmp(path, "-") == 0; }

// dir + "/" + the last path component of other, as a new text.
char* join_dir_operand(const char* dir, const char* other) {
  const char* slash = strrchr(other, '/');
  const char* component = slash != nullptr ? slash + 1 : other;
  char joined[kPathBytes];
  int length = snprintf(joined, sizeof joined, "%s/%s", dir, component);
  if (length < 0 || static_cast<size_t>(length) >= sizeof joined) {
    fprintf(stderr, kMsgJoinedTooLong, dir, component, strerror(ENAMETOOLONG));
    exit_run();
  }
  return copy_string(joined);
}

// At most one operand is a directory here; "-" counts as a regular file.
void resolve_operands(run_state& state) {
  if (S_ISDIR(state.stat1.st_mode) || S_ISDIR(state.stat2.st_mode)) {
    bool first_is_dir = S_ISDIR(state.stat1.st_mode);
    if (is_stdin(first_is_dir ? state.path2 : state.path1)) {
      fputs(kMsgDashWithDirectory, stderr);
      exit_run();
    }
    if (first_is_dir) {
      state.path1 = join_dir_operand(state.path1, state.path2);
      look_up(state.path1, &state.stat1);
    } else {
      state.path2 = join_dir_operand(state.path2, state.path1);
      look_up(state.path2, &state.stat2);
    }
  } else if (is_stdin(state.path1)) {
    if (is_stdin(state.path2)) {
      fputs(kMsgDashDash, stderr);
      exit_run();
    }
    state.path1 = spool_stdin();
    look_up(state.path1, &state.stat1);
  } else if (is_stdin(state.path2)) {
    state.path2 = spool_stdin();
    look_up(state.path2, &state.stat2);
  }
}

// A file opened for the identity and binary tests and the loading; a file
// that cannot be opened ends the run.
owned_stream open_input(const char* path) {
  owned_stream stream(fopen(path, "r"));
  if (stream == nullptr) {
    report_path_error(path);
    exit_run();
  }
  return stream;
}

// The identity test, read through the descriptors before the streams read
// anything. A read error is not the end of the file, and neither answer
// would be true: it ends the run.
bool same_bytes(const run_state& state, FILE* first, FILE* second) {
  int failed_file = -1;
  const bool same =
      same_contents(fileno(first), fileno(second), state.stat1, state.stat2, &failed_file);
  if (failed_file >= 0) read_failed(failed_file == 0 ? state.path1 : state.path2);
  return same;
}

// The binary-content test of one file; a failed read ends the run.
bool file_looks_like_text(FILE* stream, const char* path) {
  bool failed = false;
  const bool text = looks_like_text(stream, &failed);
  if (failed) read_failed(path);
  return text;
}

// Under the context format a pair without changes says so.
void apply_closing_rule(const run_options& options, bool changes_found) {
  if (options.output_format == FMT_CONTEXT && !changes_found) puts("No differences encountered");
}

line_rules rules_of(const run_options& o) {
  return make_line_rules(o.blank_runs != 0, o.all_blanks != 0, o.fold_case != 0);
}

print_request request_of(const run_options& o, const run_state& s) {
  return print_request{o.output_format, o.context_lines, o.expand_tabs != 0,
                       o.ifdef_new != nullptr ? o.ifdef_new : "", s.path1, s.path2};
}

}  // namespace

void look_up(const char* path, struct stat* status) {
  if (stat(path, status) != 0) {
    report_path_error(path);
    exit_run();
  }
}

int compare_file_pair(const run_options& options, const run_state& state) {
  owned_stream first = open_input(state.path1);
  owned_stream second = open_input(state.path2);
  stage_hook("identity");
  if (same_bytes(state, first.get(), second.get())) {
    run_exit.status = 0;
    apply_closing_rule(options, false);
    return run_exit.status;
  }
  run_exit.status = 1;  // every later stop ends with 1

  if (!file_looks_like_text(first.get(), state.path1) ||
      !file_looks_like_text(second.get(), state.path2)) {
    printf("Binary files %s and %s differ\n", state.path1, state.path2);
    return run_exit.status;
  }

  const line_rules rules = rules_of(options);
  line_tables tables;
  tables.operand_bytes =
      static_cast<uint64_t>(state.stat1.st_size) + static_cast<uint64_t>(state.stat2.st_size);
  stage_hook("load");
  const char* const paths[2] = {state.path1, state.path2};
  load_line_tables(rules, first.get(), second.get(), paths, tables);
  first.reset();
  second.reset();
  match_result result = match_lines(rules, state.path1, state.path2, tables);
  stage_hook("output");
  const bool changes_found = emit_changes(result, request_of(options, state));
  run_exit.status = changes_found ? 1 : 0;
  apply_closing_rule(options, changes_found);
  return run_exit.status;
}

void compare_regular_files(const run_options& options, run_state& state) {
  if (options.hand_off) hand_off_to_helper(state);
  // Listings can be tens of megabytes: written to a file or a pipe they go
  // out in large writes.
  if (!isatty(STDOUT_FILENO)) setvbuf(stdout, nullptr, _IOFBF, size_t{1} << 16);
  resolve_operands(state);
  compare_file_pair(options, state);
  exit_run();
}
