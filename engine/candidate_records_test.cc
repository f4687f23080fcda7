#include "engine/candidate_records.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <utility>
#include <vector>

#include "engine/engine_test_files.h"

namespace {

// Old lines far apart, as where long stretches of the old file pair with
// nothing: a record too far beyond its block's first keeps its old line
// aside, through compactions that move it into another block, where it may
// be far, or no longer.
TEST(CandidateRecords, OldLinesFarApartReadBackThroughCompactions) {
  struct stretch {
    int32_t records;
    int32_t every;  // a jump of 70,000 old lines after every so many records
  };
  const stretch stretches[] = {{300, 7}, {200, 64}, {500, 1}};
  candidate_search search;
  start_candidate_search(search, 4);
  search.chain_ends[0] = add_candidate(search, 0, 0, 0);
  search.chain_ends[1] = 0;  // the chain starts empty
  int32_t old_pos = 1;
  std::vector<std::pair<int32_t, int32_t>> chain;  // its old and new lines, from the start
  std::mt19937 rng(65535);
  for (const auto& part : stretches) {
    // The new records: a chain through every third one from the last
    // chain end, and others that nothing reaches.
    const int32_t from = search.candidate_count;
    int32_t end = search.chain_ends[1];
    for (int32_t r = 0; r < part.records; ++r) {
      old_pos += r % part.every == 0 ? 70000 : static_cast<int32_t>(rng() % 3);
      const bool on_chain = r % 3 == 2;
      const int32_t c = add_candidate(search, old_pos, r + 1, on_chain ? end : 0);
      if (on_chain) {
        end = c;
        chain.emplace_back(old_pos, r + 1);
      }
    }
    search.chain_ends[1] = end;
    int32_t held = 0;
    const int32_t made = search.candidate_count;
    EXPECT_LT(compact_candidates(search, 1, &held, part.every == 64 ? 0 : from), made);
    const auto read = chain_at(search, 1);
    EXPECT_TRUE(std::equal(read.begin(), read.end(), chain.rbegin(), chain.rend()));
  }
  EXPECT_GT(search.far_count, 0);
}

}  // namespace
