#include "engine/compare_files.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "build_paths.h"
#include "cli/exit_run.h"
#include "cli/run_options.h"
#include "cli/run_state.h"
#include "cli/spool_stdin.h"
#include "cli/stage_hook.h"
#include "engine/line_table.h"
#include "engine/looks_like_text.h"
#include "engine/match_lines.h"
#include "output/change_walk.h"

namespace {

constexpr size_t kPathBytes = 1024;
constexpr size_t kBlockBytes = 1024;

// Under -h the helper program takes the run over with the same command line;
// it resolves directories and "-" itself.
[[noreturn]] void hand_off_to_helper() {
  state.arg_vector[0] = const_cast<char*>("varnh");
  execv(OVARN_HELPER_PATH, state.arg_vector);
  report_path_error(OVARN_HELPER_PATH);
  exit_run();
}

bool is_stdin(const char* path) { return strcmp(path, "-") == 0; }

void look_up(const char* path, struct stat* status) {
  if (stat(path, status) != 0) {
    report_path_error(path);
    exit_run();
  }
}

// At most one operand is a directory here; "-" counts as a regular file.
void resolve_operands() {
  if (S_ISDIR(state.stat1.st_mode) || S_ISDIR(state.stat2.st_mode)) {
    bool first_is_dir = S_ISDIR(state.stat1.st_mode);
    if (is_stdin(first_is_dir ? state.path2 : state.path1)) {
      fputs("varn: can't specify - with other arg directory\n", stderr);
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
      fputs("varn: can't specify - -\n", stderr);
      exit_run();
    }
    state.path1 = spool_stdin();
    look_up(state.path1, &state.stat1);
  } else if (is_stdin(state.path2)) {
    state.path2 = spool_stdin();
    look_up(state.path2, &state.stat2);
  }
}

FILE* open_input(const char* path, char* buffer, size_t buffer_size) {
  FILE* stream = fopen(path, "r");
  if (stream != nullptr) setvbuf(stream, buffer, _IOFBF, buffer_size);
  return stream;
}

// Files of different sizes differ without a byte being read.
bool same_bytes(FILE* first, FILE* second) {
  if (state.stat1.st_size != state.stat2.st_size) return false;
  char block1[kBlockBytes];
  char block2[kBlockBytes];
  for (;;) {
    size_t count1 = fread(block1, 1, kBlockBytes, first);
    size_t count2 = fread(block2, 1, kBlockBytes, second);
    if (count1 != count2) return false;
    if (count1 == 0) return true;
    if (memcmp(block1, block2, count1) != 0) return false;
  }
}

// Under the context format a pair without changes says so.
void apply_closing_rule() {
  if (options.output_format == FMT_CONTEXT && state.changes_found == 0)
    puts("No differences encountered");
}

}  // namespace

char* join_dir_operand(const char* dir, const char* other) {
  const char* slash = strrchr(other, '/');
  const char* component = slash != nullptr ? slash + 1 : other;
  char joined[kPathBytes];
  int length = snprintf(joined, sizeof joined, "%s/%s", dir, component);
  if (length < 0 || static_cast<size_t>(length) >= sizeof joined) {
    fprintf(stderr, "varn: %s/%s: %s\n", dir, component, strerror(ENAMETOOLONG));
    exit_run();
  }
  return copy_string(joined);
}

void compare_regular_files() {
  if (options.hand_off) hand_off_to_helper();
  char_map = options.fold_case ? fold_map : identity_map;
  // Listings can be tens of megabytes: written to a file or a pipe they go
  // out in large writes.
  if (!isatty(STDOUT_FILENO)) setvbuf(stdout, nullptr, _IOFBF, size_t{1} << 16);
  resolve_operands();

  static char buffers[2][1 << 16];  // larger than stdio's default: fewer reads
  FILE* first = open_input(state.path1, buffers[0], sizeof buffers[0]);
  if (first == nullptr) {
    report_path_error(state.path1);
    exit_run();
  }
  FILE* second = open_input(state.path2, buffers[1], sizeof buffers[1]);
  if (second == nullptr) {
    report_path_error(state.path2);
    fclose(first);
    exit_run();
  }

  stage_hook("identity");
  if (same_bytes(first, second)) {
    fclose(first);
    fclose(second);
    state.exit_status = 0;
    apply_closing_rule();
    exit_run();
  }
  state.exit_status = 1;  // every later stop ends with 1

  if (!looks_like_text(first) || !looks_like_text(second)) {
    printf("Binary files %s and %s differ\n", state.path1, state.path2);
    fclose(first);
    fclose(second);
    exit_run();
  }

  stage_hook("load");
  load_line_tables(first, second);
  fclose(first);
  fclose(second);
  match_lines();
  stage_hook("output");
  emit_changes();
  state.exit_status = state.changes_found;
  apply_closing_rule();
  exit_run();
}
