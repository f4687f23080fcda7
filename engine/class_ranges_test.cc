#include "engine/class_ranges.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace {

// Elements 1..n of a class list with the given class sizes, and the terminator.
std::vector<int32_t> class_list_of(const std::vector<int32_t>& sizes) {
  std::vector<int32_t> list{0};
  int32_t pos = 1;
  for (int32_t size : sizes) {
    for (int32_t m = 0; m < size; ++m) list.push_back(m == 0 ? -pos++ : pos++);
  }
  list.push_back(-1);
  return list;
}

TEST(ClassRanges, EachClassEndsAtTheNextStart) {
  std::mt19937 rng(17);
  std::uniform_int_distribution<int32_t> size(1, 150);
  for (int round = 0; round < 20; ++round) {
    std::vector<int32_t> sizes(round * 13);
    for (auto& s : sizes) s = round % 2 == 0 ? size(rng) : 1 + size(rng) % 3;
    std::vector<int32_t> list = class_list_of(sizes);
    const int32_t new_count = static_cast<int32_t>(list.size()) - 2;
    class_ranges ranges = make_class_ranges(list.data(), new_count);
    int32_t start = 1;
    for (int32_t s : sizes) {
      ASSERT_EQ(class_end(ranges, start), start + s) << "round " << round << " start " << start;
      start += s;
    }
  }
}

TEST(ClassRanges, ClassWhoseFirstLineIsOneAndOneLineClasses) {
  // Class starts -1 and the terminator -1 are told apart by where they stand.
  std::vector<int32_t> list{0, -1, -2, 3, -4, -1};
  class_ranges ranges = make_class_ranges(list.data(), 4);
  EXPECT_EQ(class_end(ranges, 1), 2);
  EXPECT_EQ(class_end(ranges, 2), 4);
  EXPECT_EQ(class_end(ranges, 4), 5);
}

}  // namespace
