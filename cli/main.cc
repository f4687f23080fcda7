// The entry point of ovarn: options, operand lookup and dispatch.
#include <sys/stat.h>
#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <cstdio>
#include <cstring>

#include "cli/exit_run.h"
#include "cli/run_options.h"
#include "cli/run_state.h"
#include "dircmp/compare_directories.h"
#include "engine/compare_files.h"

namespace {

// "-" stands for standard input and is not looked up: it counts as a regular
// file until it is spooled.
void look_up_operand(const char* path, struct stat* status) {
  if (strcmp(path, "-") == 0) {
    *status = {};
    status->st_mode = S_IFREG;
    return;
  }
  if (stat(path, status) != 0) {
    report_path_error(path);
    exit_run();
  }
}

bool is_directory(const struct stat& status) { return S_ISDIR(status.st_mode); }

}  // namespace

int main(int argc, char** argv) {
  state.exit_status = 2;
  state.arg_vector = argv;
#if defined(M_MMAP_THRESHOLD) && defined(M_TRIM_THRESHOLD)
  // Every table of the engine gets a mapping of its own, which it can grow
  // in place and gives back whole when freed. Left to itself the allocator
  // raises this threshold to the size of each large block freed, and the
  // next tables then land in the heap, where they leave holes that growing
  // tables cannot use: 12 MiB more at the peak of two 80 MB files.
  mallopt(M_MMAP_THRESHOLD, 64 << 10);
  mallopt(M_TRIM_THRESHOLD, 1 << 20);
#endif
#ifdef M_ARENA_MAX
  // One arena for every thread: an arena of a thread's own reserves 64 MiB
  // of address space, which then stands beside the tables at their peak.
  mallopt(M_ARENA_MAX, 1);
#endif

  parse_options(argc, argv);
  if (options.hand_off != 0 && options.output_format != FMT_NORMAL) {
    fputs("varn: -h doesn't support -e, -f, -n, -c, or -I\n", stderr);
    exit_run();
  }
  look_up_operand(state.path1, &state.stat1);
  look_up_operand(state.path2, &state.stat2);

  if (is_directory(state.stat1) && is_directory(state.stat2)) {
    compare_directories();
    exit_run();
  }
  compare_regular_files();
}
