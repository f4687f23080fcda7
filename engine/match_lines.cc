#include "engine/match_lines.h"

#include <cstdlib>

#include "cli/exit_run.h"
#include "cli/stage_hook.h"
#include "engine/candidates.h"
#include "engine/disjoint_files.h"
#include "engine/equivalence.h"
#include "engine/line_table.h"
#include "engine/match_vector.h"
#include "engine/new_table.h"
#include "engine/verify_matches.h"

namespace {

void pair_lines() {
  start_candidate_search();
  int32_t k = find_candidates(old_line_class, sorted_count[0], new_class_list, chain_ends);
  free_table(new_class_list);
  new_class_list = nullptr;
  free_table(old_line_class);
  old_line_class = nullptr;
  allocate_match_vector();
  build_match_vector(chain_ends[k]);
  end_candidate_search();
}

int64_t* allocate_offsets(int32_t lines) {
  return static_cast<int64_t*>(new_table(static_cast<uint64_t>(lines) + 2, sizeof(int64_t)));
}

// No old line equals a new one: every line is left unpaired.
void pair_no_lines() {
  free_table(line_table[0]);
  free_table(line_table[1]);
  line_table[0] = line_table[1] = nullptr;
  prefix_len = suffix_len = 0;
  allocate_match_vector();
  for (int32_t i = 0; i <= line_count[0]; ++i) match_vector[i] = 0;
}

}  // namespace

void match_lines() {
  stage_hook("disjoint");
  if (files_share_no_line()) {
    pair_no_lines();
  } else {
    build_line_classes();
    pair_lines();
  }
  old_offsets = allocate_offsets(line_count[0]);
  new_offsets = allocate_offsets(line_count[1]);
  stage_hook("verify");
  verify_matches();
}
