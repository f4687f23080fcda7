// count_candidates OLD NEW: runs the line matching of the main program on two
// text files, as a plain comparison without options would, and prints on one
// line what its steps worked on: the line counts, the common prefix and
// suffix, the number of distinct line hashes of each file, the number of
// candidate records the candidate search appended, and the number of pairings
// that survived verification. The benchmark reads candidate_count from it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "cli/run_state.h"
#include "engine/candidates.h"
#include "engine/equivalence.h"
#include "engine/line_table.h"
#include "engine/match_lines.h"
#include "engine/match_vector.h"

namespace {

FILE* open_or_die(const char* path) {
  FILE* stream = fopen(path, "r");
  if (stream == nullptr) {
    perror(path);
    exit(2);
  }
  return stream;
}

// Read before the tables are turned into classes.
int64_t distinct_hashes(int file) {
  std::vector<int32_t> keys;
  keys.reserve(line_count[file]);
  for (int32_t j = 1; j <= line_count[file]; ++j) keys.push_back(line_table[file][j].key);
  std::sort(keys.begin(), keys.end());
  return std::unique(keys.begin(), keys.end()) - keys.begin();
}

int64_t verified_pairings() {
  int64_t count = 0;
  for (int32_t i = 1; i <= line_count[0]; ++i) count += match_vector[i] != 0;
  return count;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fputs("usage: count_candidates old new\n", stderr);
    return 2;
  }
  state.path1 = argv[1];
  state.path2 = argv[2];
  char_map = identity_map;
  FILE* streams[2] = {open_or_die(state.path1), open_or_die(state.path2)};
  load_line_table(0, streams[0]);
  load_line_table(1, streams[1]);
  fclose(streams[0]);
  fclose(streams[1]);
  int64_t distinct[2] = {distinct_hashes(0), distinct_hashes(1)};
  match_lines();
  printf("lines=%d,%d prefix=%d suffix=%d distinct_hashes=%lld,%lld candidate_count=%d pairings=%lld\n",
         line_count[0], line_count[1], prefix_len, suffix_len, static_cast<long long>(distinct[0]),
         static_cast<long long>(distinct[1]), candidate_count,
         static_cast<long long>(verified_pairings()));
  return 0;
}
