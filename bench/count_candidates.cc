// count_candidates OLD NEW: runs the line matching of the main program on two
// text files, as a plain comparison without options would, and prints on one
// line what its steps worked on: the line counts, the common prefix and
// suffix, the number of distinct line hashes of each file, the number of
// (old line, new line) pairs of equal hash (what the candidate search walks
// through at most), the number of candidate records the search kept at its
// end (it drops the ones no chain reaches), and
// the number of pairings that survived verification. The benchmark reads
// candidate_count from it.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "engine/candidates.h"
#include "engine/equivalence.h"
#include "engine/line_table.h"
#include "engine/verify_matches.h"

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
std::vector<int32_t> sorted_keys(const line_tables& tables, int file) {
  std::vector<int32_t> keys;
  keys.reserve(tables.line_count[file]);
  for (int32_t j = 1; j <= tables.line_count[file]; ++j)
    keys.push_back(tables.line_table[file][j].key);
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

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fputs("usage: count_candidates old new\n", stderr);
    return 2;
  }
  const line_rules rules;
  line_tables tables;
  FILE* streams[2] = {open_or_die(argv[1]), open_or_die(argv[2])};
  for (int file = 0; file < 2; ++file) {
    load_line_table(rules, file, streams[file], argv[file + 1], tables);
    fclose(streams[file]);
  }
  std::vector<int32_t> keys[2] = {sorted_keys(tables, 0), sorted_keys(tables, 1)};
  int64_t pairs = equal_hash_pairs(keys[0], keys[1]);
  match_result result;
  result.line_count[0] = tables.line_count[0];
  result.line_count[1] = tables.line_count[1];
  line_classes classes;
  build_line_classes(tables, classes);
  candidate_search search;
  start_candidate_search(search, classes.sorted_count[0]);
  int32_t k = find_candidates(search, classes.old_line_class.data(), classes.sorted_count[0],
                              classes.new_class_list.data(), classes.sorted_count[1]);
  allocate_match_vector(result);
  build_match_vector(search, search.chain_ends[k], classes, result);
  result.old_offsets = table<int64_t>(result.line_count[0] + 2);
  result.new_offsets = table<int64_t>(result.line_count[1] + 2);
  verify_matches(rules, argv[1], argv[2], tables, result);
  int64_t pairings = 0;
  for (int32_t i = 1; i <= result.line_count[0]; ++i) pairings += result.match_vector[i] != 0;
  printf(
      "lines=%d,%d prefix=%d suffix=%d distinct_hashes=%lld,%lld equal_hash_pairs=%lld "
      "candidate_count=%d pairings=%lld\n",
      result.line_count[0], result.line_count[1], classes.prefix_len, classes.suffix_len,
      static_cast<long long>(distinct(keys[0])), static_cast<long long>(distinct(keys[1])),
      static_cast<long long>(pairs), search.candidate_count, static_cast<long long>(pairings));
  return 0;
}
