#include "engine/candidates.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "engine/engine_test_files.h"
#include "engine/equivalence.h"
#include "engine/line_table.h"
#include "engine/match_vector.h"

namespace {

class candidates_test : public engine_test {
 protected:
  // Loads the pair and runs the search with its allocations and releases;
  // returns k.
  int32_t search(const std::vector<std::string>& old_lines,
                 const std::vector<std::string>& new_lines) {
    load_pair(text_of(old_lines), text_of(new_lines));
    build_line_classes();
    start_candidate_search();
    int32_t k = find_candidates(old_line_class, sorted_count[0], new_class_list, chain_ends);
    free(new_class_list);
    free(old_line_class);
    allocate_match_vector();
    build_match_vector(chain_ends[k]);
    end_candidate_search();
    return k;
  }
};

TEST_F(candidates_test, WorkedExample) {
  int32_t k = search({"a", "b", "c", "a", "b", "b", "a"}, {"c", "b", "a", "b", "a", "c"});
  EXPECT_EQ(k, 4);
  EXPECT_EQ(matches(), (std::vector<int32_t>{0, 0, 1, 3, 4, 0, 5}));
  EXPECT_EQ(candidate_count, 12);
}

TEST_F(candidates_test, LaterChainEndReplacesEarlierOne) {
  int32_t k = search({"x", "a", "b", "c", "y"}, {"x", "b", "a", "c", "y"});
  EXPECT_EQ(prefix_len, 1);
  EXPECT_EQ(suffix_len, 2);
  EXPECT_EQ(k, 1);
  EXPECT_EQ(matches(), (std::vector<int32_t>{1, 0, 2, 4, 5}));
}

TEST_F(candidates_test, NoCommonLinesKeepsPrefixAndSuffix) {
  int32_t k = search({"s", "a", "b", "e"}, {"s", "c", "d", "x", "e"});
  EXPECT_EQ(k, 0);
  EXPECT_EQ(matches(), (std::vector<int32_t>{1, 0, 0, 5}));
}

TEST_F(candidates_test, EqualFilesPairEveryLine) {
  int32_t k = search({"a", "b", "a"}, {"a", "b", "a"});
  EXPECT_EQ(k, 0);
  EXPECT_EQ(matches(), (std::vector<int32_t>{1, 2, 3}));
}

TEST_F(candidates_test, EmptyOldFile) {
  int32_t k = search({}, {"a", "b"});
  EXPECT_EQ(k, 0);
  EXPECT_EQ(line_count[0], 0);
  EXPECT_EQ(match_vector[0], 0);
}

TEST_F(candidates_test, SearchFindsSmallestPositionNotBelow) {
  // Chain ends with new positions 0 (sentinel), 2, 5, 9.
  candidate_count = 0;
  candidate_list = static_cast<candidate*>(malloc(sizeof(candidate)));
  int32_t ends[5] = {add_candidate(0, 0, 0), add_candidate(1, 2, 0), add_candidate(2, 5, 1),
                     add_candidate(3, 9, 2), 0};
  struct probe {
    int32_t y, p;
  };
  const probe probes[] = {{1, 1}, {2, 1}, {3, 2}, {5, 2}, {6, 3}, {9, 3}, {10, 4}};
  for (const auto& q : probes) {
    SCOPED_TRACE(q.y);
    EXPECT_EQ(search_candidates(ends, 3, q.y), q.p);
  }
  free(candidate_list);
  candidate_list = nullptr;
}

}  // namespace
