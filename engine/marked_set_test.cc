#include "engine/marked_set.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

namespace {

// Whether x is in the set, read from its bit: the search needs no such test.
bool is_marked(const marked_set& set, int32_t x) { return (set.words[x >> 6] >> (x & 63)) & 1; }

// The first index in [x, end) outside marks, the slow way.
int32_t expected_next(const std::set<int32_t>& marks, int32_t x, int32_t end) {
  while (x < end && marks.count(x) != 0) ++x;
  return x;
}

TEST(MarkedSet, NextUnmarkedAgreesWithASimpleScan) {
  const int32_t size = 20000;
  marked_set set = make_marked_set(size);
  std::set<int32_t> marks;
  std::mt19937 rng(5);
  std::uniform_int_distribution<int32_t> index(0, size - 1);
  // Long marked runs, so that whole words and groups of words fill up.
  for (int32_t x = 100; x < 9000; ++x) {
    mark(set, x);
    marks.insert(x);
  }
  for (int round = 0; round < 20000; ++round) {
    int32_t x = index(rng);
    if (round % 3 == 0) {
      unmark(set, x);
      marks.erase(x);
    } else {
      mark(set, x);
      marks.insert(x);
    }
    int32_t from = index(rng);
    int32_t end = std::min(size, from + index(rng) % 12000);
    ASSERT_EQ(next_unmarked(set, from, end), expected_next(marks, from, end)) << from << " " << end;
    ASSERT_EQ(is_marked(set, x), marks.count(x) != 0);
  }
}

TEST(MarkedSet, FullSetHasNothingUnmarked) {
  const int32_t size = 5000;
  marked_set set = make_marked_set(size);
  for (int32_t x = 0; x < size; ++x) mark(set, x);
  EXPECT_EQ(next_unmarked(set, 0, size), size);
  EXPECT_EQ(next_unmarked(set, 4095, 4100), 4100);
  unmark(set, 4097);
  EXPECT_EQ(next_unmarked(set, 1, size), 4097);
  EXPECT_EQ(next_unmarked(set, 4098, size), size);
  EXPECT_EQ(next_unmarked(set, 7, 7), 7);  // an empty range
}

}  // namespace
