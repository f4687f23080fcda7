#include "engine/choose_search.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/engine_test_files.h"
#include "engine/equivalence.h"

namespace {

class ChooseSearch : public engine_test {};

// The pairs of matching lines as counted line by line, the bound on the
// unpaired lines against what the longest chain leaves, and the check of a
// band on the first lines against the search within the band.
TEST_F(ChooseSearch, MeasuresPairsAndAtLeastTheUnpairedLines) {
  std::mt19937 rng(2121);
  int ruled_out = 0;
  for (int round = 0; round < 40; ++round) {
    std::uniform_int_distribution<int> value(0, 1 + round % 6);
    std::uniform_int_distribution<int> length(0, 120);
    std::vector<std::string> old_lines(length(rng)), new_lines(length(rng));
    for (auto& line : old_lines) line = std::to_string(value(rng));
    for (auto& line : new_lines) line = std::to_string(value(rng) + round % 2);
    SCOPED_TRACE(text_of(old_lines) + "---\n" + text_of(new_lines));
    line_classes classes;
    const std::vector<int32_t> old_classes =
        load_classes(text_of(old_lines), text_of(new_lines), classes);
    const int32_t old_count = classes.sorted_count[0];
    const int32_t new_count = classes.sorted_count[1];
    const search_sizes sizes = measure_search(old_classes.data(), old_count,
                                              classes.new_class_list.data(), new_count);
    uint64_t pairs = 0;
    const int32_t first = classes.prefix_len;
    for (int32_t i = 1; i <= old_count; ++i)
      for (int32_t j = 1; j <= new_count; ++j)
        pairs += old_lines[first + i - 1] == new_lines[first + j - 1];
    EXPECT_EQ(sizes.matching_pairs, pairs);
    candidate_search whole;
    const int32_t k = search_whole(whole, classes, old_classes);
    EXPECT_LE(sizes.least_unpaired, int64_t{old_count} + new_count - 2 * k);
    EXPECT_GE(sizes.least_unpaired, std::abs(old_count - new_count));
    EXPECT_EQ(prefix_chain_length(old_classes.data(), old_count, classes.new_class_list.data(),
                                  new_count, new_count, whole_band(old_count, new_count)),
              k);
    // A band the check on the first lines rules out gives up.
    for (const int32_t band : {4, 16, 64}) {
      search_plan plan;
      plan.band = band;
      plan.band_check_lines = old_count / (1 + round % 3);
      if (band_may_hold(plan, old_classes.data(), old_count, classes.new_class_list.data(),
                        new_count))
        continue;
      ++ruled_out;
      std::vector<int32_t> books = old_classes;
      candidate_search in_band;
      start_candidate_search(in_band, old_count);
      EXPECT_EQ(
          find_candidates_within(in_band, books.data(), old_count, classes.new_class_list.data(),
                                 new_count, {band, kNoStepLimit}),
          -1)
          << "band " << band << ", first " << plan.band_check_lines << " lines";
    }
  }
  EXPECT_GT(ruled_out, 20);
}

// A band only where it may hold the chain, and where its pairs outnumber the
// rows' steps only after a check on the first lines; the whole search where its most
// steps cost less than the rows; the rows otherwise, or the whole search
// where they do not fit.
TEST(ChooseSearchPlan, CheapestByEstimate) {
  struct shape {
    int32_t lines;  // a side
    uint64_t pairs;
    int64_t least_unpaired;
    uint64_t memory;
    bool band, whole;
  };
  const shape shapes[] = {{20000, 40000, 10, 8 << 20, true, true},
                          {20000, 200000000, 10, 8 << 20, false, false},
                          {2500000, 100000000000, 2600, 24 << 20, true, false},
                          {20000, 200000000, 9000, 8 << 20, false, false},
                          {5000, 10000000, 0, 8 << 20, false, false},
                          {8000, 10000, 0, 8 << 20, false, true},
                          {20000, 200000000, 9000, 0, false, true},
                          {4000000, 80000000, 20000, 64 << 20, true, true}};
  for (const auto& s : shapes) {
    SCOPED_TRACE(testing::Message() << s.lines << " lines, " << s.pairs << " pairs, "
                                    << s.least_unpaired << " unpaired, memory " << s.memory);
    search_sizes sizes;
    sizes.old_count = sizes.new_count = s.lines;
    sizes.matching_pairs = s.pairs;
    sizes.least_unpaired = s.least_unpaired;
    const search_plan plan = choose_search(sizes, kChainBand, s.memory);
    EXPECT_EQ(plan.band > 0, s.band);
    // A band that holds the chain must hold the lines left unpaired.
    if (plan.band > 0) {
      EXPECT_GT(plan.band - 1, s.least_unpaired);
    }
    EXPECT_EQ(plan.whole, s.whole);
    EXPECT_EQ(plan.rows.count > 0, s.memory > 0);
    // A band runs on past what the rows would take only where the rows
    // would not be taken.
    if (plan.band > 0 && !plan.whole) {
      EXPECT_LT(plan.band_step_limit, s.pairs);
    }
  }
}

}  // namespace
