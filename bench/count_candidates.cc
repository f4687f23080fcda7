// count_candidates OLD NEW: runs the line matching of the main program on two
// text files, as a plain comparison without options would, and prints on one
// line what its steps worked on: the line counts, the common prefix and
// suffix, the number of distinct line hashes of each file, the number of
// (old line, new line) pairs of equal hash (what the candidate search walks
// through at most), the number of candidate records the search appended, and
// the number of pairings that survived verification. The benchmark reads
// candidate_count from it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/run_state.h"
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

// The tables' keys, sorted; read before the tables are turned into classes.
std::vector<int32_t> sorted_keys(int file) {
  std::vector<int32_t> keys;
  keys.reserve(line_count[file]);
  for (int32_t j = 1; j <= line_count[file]; ++j) keys.push_back(line_table[file][j].key);
  std::sort(keys.begin(), keys.end());
  return keys;
}

int64_t distinct(const std::vector<int32_t>& keys) {
  int64_t count = 0;
  for (size_t j = 0; j < keys.size(); ++j) count += j == 0 || keys[j] != keys[j - 1];
  return count;
}

// Sum over hashes of (old lines with it) times (new lines with it).
int64_t equal_hash_pairs(const std::vector<int32_t>& old_keys, const std::vector<int32_t>& new_keys) {
  int64_t pairs = 0;
  size_t n = 0;
  for (size_t o = 0; o < old_keys.size();) {
    size_t o_end = o;
    while (o_end < old_keys.size() && old_keys[o_end] == old_keys[o]) ++o_end;
    while (n < new_keys.size() && new_keys[n] < old_keys[o]) ++n;
    size_t n_end = n;
    while (n_end < new_keys.size() && new_keys[n_end] == old_keys[o]) ++n_end;
    pairs += static_cast<int64_t>(o_end - o) * static_cast<int64_t>(n_end - n);
    o = o_end;
  }
  return pairs;
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
  std::vector<int32_t> keys[2] = {sorted_keys(0), sorted_keys(1)};
  int64_t pairs = equal_hash_pairs(keys[0], keys[1]);
  match_lines();
  printf(
      "lines=%d,%d prefix=%d suffix=%d distinct_hashes=%lld,%lld equal_hash_pairs=%lld "
      "candidate_count=%d pairings=%lld\n",
      line_count[0], line_count[1], prefix_len, suffix_len, static_cast<long long>(distinct(keys[0])),
      static_cast<long long>(distinct(keys[1])), static_cast<long long>(pairs), candidate_count,
      static_cast<long long>(verified_pairings()));
  return 0;
}
