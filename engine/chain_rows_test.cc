#include "engine/chain_rows.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/candidates.h"
#include "engine/choose_search.h"
#include "engine/engine_test_files.h"
#include "engine/equivalence.h"

namespace {

class ChainRows : public engine_test {
 protected:
  // The search by rows within band, with its rows kept at every level from
  // one to twelve, so that small pairs read back through each: either the
  // chain expected (k pairings) or -1 where band cannot show it the
  // longest, the same at every level. Returns what the search returned, and
  // sets *band_chain to the chain the band found.
  int32_t expect_chain_within(const std::vector<int32_t>& old_classes,
                              const line_classes& classes, const diagonal_band& band, int32_t k,
                              const std::vector<std::pair<int32_t, int32_t>>& expected,
                              int32_t* band_chain) {
    const int32_t old_count = classes.sorted_count[0];
    const int32_t new_count = classes.sorted_count[1];
    const int32_t* class_list = classes.new_class_list.data();
    int32_t first_found = -2;
    for (const int32_t factor : {old_count + 1, 64, 7, 3, 2}) {
      SCOPED_TRACE(testing::Message() << "rows kept by a factor of " << factor << ", band "
                                      << band.low << ".." << band.high);
      candidate_search by_rows;
      start_candidate_search(by_rows, old_count);
      const int32_t found =
          find_chain_by_rows(by_rows, old_classes.data(), old_count, class_list, new_count,
                             row_levels_by_factor(old_count, factor), band, band_chain);
      if (first_found == -2) first_found = found;
      EXPECT_EQ(found, first_found);
      EXPECT_LE(*band_chain, k);
      if (found < 0) continue;
      EXPECT_EQ(found, k);
      EXPECT_EQ(chain_at(by_rows, k), expected);
      EXPECT_TRUE(candidates_hold_together(by_rows, k, k));
    }
    return first_found;
  }

  // Runs the search by chain ends, the search by rows (whole; within a band
  // too narrow, then within the band its chain tells, which must hold; and
  // within bands about the longest chain's) and the one that chooses
  // between them on the pair; expects one longest chain of all. Returns
  // whether the choosing one took the rows.
  bool expect_same_longest_chain(const std::vector<std::string>& old_lines,
                                 const std::vector<std::string>& new_lines) {
    line_classes classes;
    const std::vector<int32_t> old_classes =
        load_classes(text_of(old_lines), text_of(new_lines), classes);
    const int32_t old_count = classes.sorted_count[0];
    const int32_t new_count = classes.sorted_count[1];
    const int32_t* class_list = classes.new_class_list.data();

    candidate_search by_ends;
    const int32_t k = search_whole(by_ends, classes, old_classes);
    const auto expected = chain_at(by_ends, k);

    int32_t band_chain = 0;
    EXPECT_EQ(expect_chain_within(old_classes, classes, whole_band(old_count, new_count), k,
                                  expected, &band_chain),
              k);
    // Bands that hold every longest chain, just and with room; and bands
    // narrower on either side, which cannot show their chain the longest,
    // widened by the chain they find: the wider one holds.
    const diagonal_band holding = band_holding(old_count, new_count, k);
    for (const diagonal_band band : {holding, diagonal_band{holding.low - 70, holding.high + 3}})
      EXPECT_EQ(expect_chain_within(old_classes, classes, band, k, expected, &band_chain), k);
    for (const int32_t less : {1, 2, 5, 40}) {
      for (const diagonal_band narrow : {diagonal_band{holding.low + less, holding.high},
                                         diagonal_band{holding.low, holding.high - less}}) {
        if (narrow.low > narrow.high) continue;
        EXPECT_EQ(expect_chain_within(old_classes, classes, narrow, k, expected, &band_chain), -1);
        const diagonal_band wider = band_holding(old_count, new_count, band_chain);
        EXPECT_EQ(expect_chain_within(old_classes, classes, wider, k, expected, &band_chain), k);
      }
    }

    std::vector<int32_t> books = old_classes;
    candidate_search chosen;
    start_candidate_search(chosen, old_count);
    EXPECT_EQ(find_longest_chain(chosen, books.data(), old_count, class_list, new_count,
                                 kChainBand),
              k);
    EXPECT_EQ(chain_at(chosen, k), expected);
    return chosen.candidate_count == k + 1 && by_ends.candidate_count > k + 1;
  }
};

std::vector<std::string> lines_of(std::mt19937& rng, int count, int values) {
  std::uniform_int_distribution<int> value(0, values - 1);
  std::vector<std::string> lines(count);
  for (auto& line : lines) line = std::to_string(value(rng));
  return lines;
}

TEST_F(ChainRows, SameLongestChainOnSmallPairs) {
  std::mt19937 rng(3041);
  std::uniform_int_distribution<int> length(0, 200);
  for (int round = 0; round < 250; ++round) {
    const int values = 1 + round % 9;
    auto old_lines = lines_of(rng, length(rng), values);
    auto new_lines = lines_of(rng, length(rng), values);
    SCOPED_TRACE(text_of(old_lines) + "---\n" + text_of(new_lines));
    expect_same_longest_chain(old_lines, new_lines);
  }
}

// Longer rows, so that carries cross words, classes of every size, and
// pairs much alike as well as drawn apart; the last pair is longer than the
// band, which it gives up for the rows.
TEST_F(ChainRows, SameLongestChainOnLargePairs) {
  struct pair_shape {
    int lines;     // per file
    int values;    // the lines are drawn from
    int changed;   // < 0: the new file drawn anew; else the old one with
                   // this many lines changed
    bool by_rows;  // the choosing search is expected to take the rows
  };
  const pair_shape shapes[] = {{3000, 5, -1, true},     {2500, 40, -1, true},
                               {2000, 3, 30, true},     {1500, 200, -1, true},
                               {6000, 100000, -1, false}, {3000, 1, 0, false},
                               {9000, 30, -1, true}};
  std::mt19937 rng(777);
  for (const auto& shape : shapes) {
    SCOPED_TRACE(testing::Message() << shape.lines << " lines of " << shape.values
                                    << " values, " << shape.changed << " changed");
    auto old_lines = lines_of(rng, shape.lines, shape.values);
    auto new_lines = lines_of(rng, shape.lines + 7, shape.values);
    if (shape.changed >= 0) {
      new_lines = old_lines;
      std::uniform_int_distribution<int> at(0, shape.lines - 1);
      for (int c = 0; c < shape.changed; ++c) new_lines[at(rng)] = "changed";
      new_lines.insert(new_lines.begin() + shape.lines / 2, 5, "0");
    }
    EXPECT_EQ(expect_same_longest_chain(old_lines, new_lines), shape.by_rows);
  }
}

// The levels chosen are the fewest that fit the memory, and they reach
// every row: level 0 holds row 0 and the steps fall to 1.
TEST(RowLevels, FewestLevelsWithinTheMemory) {
  struct shape {
    int32_t old_count, new_count;
    uint64_t memory;
    int32_t levels;  // expected; 0: none fit
  };
  const shape shapes[] = {{100, 100, 1 << 20, 1},     {400000, 400000, 8 << 20, 4},
                          {400000, 400000, 64 << 20, 2}, {1000000, 1000000, 12 << 20, 5},
                          {1000000, 1000000, 1 << 20, 0}, {0, 10, 1 << 10, 1}};
  for (const auto& s : shapes) {
    SCOPED_TRACE(testing::Message() << s.old_count << " x " << s.new_count << " in " << s.memory);
    const int32_t words = band_row_words(whole_band(s.old_count, s.new_count), s.new_count);
    const row_levels levels = choose_row_levels(s.old_count, words, s.memory);
    EXPECT_EQ(levels.count, s.levels);
    if (levels.count == 0) continue;
    EXPECT_LE(row_level_memory(levels, s.old_count, words), s.memory);
    EXPECT_EQ(levels.step[levels.count - 1], 1);
    for (int32_t l = 1; l < levels.count; ++l) EXPECT_EQ(levels.step[l - 1] % levels.step[l], 0);
  }
}

}  // namespace
