#include "engine/match_lines.h"

#include "base/stage_hook.h"
#include "engine/candidates.h"
#include "engine/choose_search.h"
#include "engine/disjoint_files.h"
#include "engine/equivalence.h"
#include "engine/verify_matches.h"

namespace {

void pair_lines(line_tables& tables, match_result& result) {
  line_classes classes;
  build_line_classes(tables, classes);
  candidate_search search;
  start_candidate_search(search, classes.sorted_count[0]);
  int32_t k =
      find_longest_chain(search, classes.old_line_class.data(), classes.sorted_count[0],
                         classes.new_class_list.data(), classes.sorted_count[1], kChainBand);
  classes.new_class_list.reset();
  classes.old_line_class.reset();
  allocate_match_vector(result);
  build_match_vector(search, chain_end(search, k), classes, result);
}

// No old line equals a new one: every line is left unpaired.
void pair_no_lines(line_tables& tables, match_result& result) {
  tables.line_table[0].reset();
  tables.line_table[1].reset();
  allocate_match_vector(result);
  for (int32_t i = 0; i <= result.line_count[0]; ++i) result.match_vector[i] = 0;
}

table<int64_t> allocate_offsets(int32_t lines) {
  return table<int64_t>(static_cast<uint64_t>(lines) + 2);
}

}  // namespace

match_result match_lines(const line_rules& rules, const char* old_path, const char* new_path,
                         line_tables& tables) {
  match_result result;
  result.line_count[0] = tables.line_count[0];
  result.line_count[1] = tables.line_count[1];
  stage_hook("disjoint");
  if (files_share_no_line(rules, old_path, new_path, tables)) {
    pair_no_lines(tables, result);
  } else {
    pair_lines(tables, result);
  }
  result.old_offsets = allocate_offsets(result.line_count[0]);
  result.new_offsets = allocate_offsets(result.line_count[1]);
  stage_hook("verify");
  verify_matches(rules, old_path, new_path, tables, result);
  return result;
}
