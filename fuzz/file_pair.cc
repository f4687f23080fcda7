#include "fuzz/file_pair.h"

#include <sys/stat.h>

#include <cstdlib>

#include "base/run_state.h"
#include "cli/compare_files.h"

int compare_in_process(const run_options& o, const std::string& old_path,
                       const std::string& new_path) {
  run_state state;
  std::string paths[2] = {old_path, new_path};
  state.path1 = paths[0].data();
  state.path2 = paths[1].data();
  if (stat(state.path1, &state.stat1) != 0 || stat(state.path2, &state.stat2) != 0) abort();
  return compare_file_pair(o, state);
}
