// The entry point of ovarn: options, operand lookup and dispatch.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "base/exit_run.h"
#include "base/messages.h"
#include "base/run_options.h"
#include "base/run_state.h"
#include "base/standard_streams.h"
#include "cli/compare_files.h"
#include "cli/parse_options.h"
#include "dircmp/compare_directories.h"
#include "port/memory.h"

namespace {

using enum output_format;

// "-" stands for standard input and is not looked up: it counts as a regular
// file until it is spooled.
void look_up_operand(const char* path, struct stat* status) {
  if (strcmp(path, "-") == 0) {
    *status = {};
    status->st_mode = S_IFREG;
    return;
  }
  look_up(path, status);
}

bool is_directory(const struct stat& status) { return S_ISDIR(status.st_mode); }

}  // namespace

// The run's records live here and are handed on by reference; only the
// exit path's record (run_exit) is process-wide.
int main(int argc, char** argv) {
  run_exit.status = 2;
  hold_standard_descriptors();
  run_options options;
  run_state state;
  state.arg_vector = argv;
  tune_allocator();

  parse_options(argc, argv, options, state);
  if (options.hand_off != 0 && options.output_format != FMT_NORMAL) {
    fputs(kMsgHandOffFormats, stderr);
    exit_run();
  }
  look_up_operand(state.path1, &state.stat1);
  look_up_operand(state.path2, &state.stat2);

  if (is_directory(state.stat1) && is_directory(state.stat2)) {
    compare_directories(options, state);
    exit_run();
  }
  compare_regular_files(options, state);
}
