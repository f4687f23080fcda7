#include "engine/equivalence.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "engine/line_table.h"

namespace {

// The classes of both views, by the sorting steps or by counting.
struct class_vectors {
  std::vector<int32_t> new_classes, old_classes;
  bool operator==(const class_vectors&) const = default;
};

std::vector<int32_t> elements(const table<int32_t>& vector, int32_t first, int32_t last) {
  return std::vector<int32_t>(vector.data() + first, vector.data() + last + 1);
}

// The records of one test; make_tables starts them afresh.
class equivalence_test : public testing::Test {
 protected:
  // Sets up both line tables from lists of hashes, as load_line_table leaves
  // them: count + 3 entries, entry j holding line j.
  void make_tables(const std::vector<int32_t>& old_keys, const std::vector<int32_t>& new_keys) {
    tables = line_tables{};
    classes = line_classes{};
    const std::vector<int32_t>* keys[2] = {&old_keys, &new_keys};
    for (int file = 0; file < 2; ++file) {
      auto count = static_cast<int32_t>(keys[file]->size());
      tables.line_table[file] = table<line_entry>(count + 3);
      for (int32_t j = 1; j <= count; ++j) tables.line_table[file][j] = {-7, (*keys[file])[j - 1]};
      tables.line_count[file] = count;
    }
  }

  class_vectors classes_by(bool counting, const std::vector<int32_t>& old_keys,
                           const std::vector<int32_t>& new_keys) {
    make_tables(old_keys, new_keys);
    trim_common_ends(tables, classes);
    if (counting) {
      EXPECT_TRUE(count_line_classes(tables, classes));
    } else {
      sort_line_classes(tables, classes);
    }
    return class_vectors{elements(classes.new_class_list, 1, classes.sorted_count[1] + 1),
                         elements(classes.old_line_class, 1, classes.sorted_count[0])};
  }

  line_tables tables;
  line_classes classes;
};
using Equivalence = equivalence_test;

TEST_F(Equivalence, WorkedExample) {
  make_tables({9, 5, 7}, {5, 9, 5});
  build_line_classes(tables, classes);
  EXPECT_EQ(classes.prefix_len, 0);
  EXPECT_EQ(classes.suffix_len, 0);
  EXPECT_EQ(elements(classes.new_class_list, 1, 4), (std::vector<int32_t>{-1, 3, -2, -1}));
  EXPECT_EQ(elements(classes.old_line_class, 1, 3), (std::vector<int32_t>{3, 1, 0}));
}

struct trim_case {
  const char* name;
  std::vector<int32_t> old_keys, new_keys;
  int32_t prefix, suffix, old_view, new_view;
};

TEST_F(Equivalence, TrimCommonEnds) {
  const trim_case cases[] = {
      {"equal sequences", {1, 2, 3}, {1, 2, 3}, 3, 0, 0, 0},
      {"suffix limited by the prefix", {1, 2, 1}, {1, 2, 1, 2, 1}, 3, 0, 0, 2},
      {"suffix only", {4, 1}, {1}, 0, 1, 1, 0},
      {"empty old file", {}, {1, 2}, 0, 0, 0, 2},
      {"empty new file", {1, 2}, {}, 0, 0, 2, 0},
      {"both ends", {1, 2, 3, 4, 5}, {1, 9, 4, 5}, 1, 2, 2, 1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    make_tables(c.old_keys, c.new_keys);
    trim_common_ends(tables, classes);
    EXPECT_EQ(classes.prefix_len, c.prefix);
    EXPECT_EQ(classes.suffix_len, c.suffix);
    EXPECT_EQ(classes.sorted_count[0], c.old_view);
    EXPECT_EQ(classes.sorted_count[1], c.new_view);
    for (int file = 0; file < 2; ++file) {
      const line_entry* view = classes.sorted_view[file];
      EXPECT_EQ(view, tables.line_table[file].data() + c.prefix);
      for (int32_t j = 0; j <= classes.sorted_count[file]; ++j) EXPECT_EQ(view[j].view_pos, j);
    }
  }
}

TEST_F(Equivalence, ViewStartsAfterPrefix) {
  // Old a b a, new a b a b a: the new view holds new lines 4 and 5.
  make_tables({1, 2, 1}, {1, 2, 1, 2, 1});
  trim_common_ends(tables, classes);
  EXPECT_EQ(classes.sorted_view[1][1].key, 2);
  EXPECT_EQ(classes.sorted_view[1][2].key, 1);
}

TEST_F(Equivalence, SortOrdersByKeyThenPosition) {
  std::vector<line_entry> view = {{0, 0}, {1, 5}, {2, 3}, {3, 5}, {4, 1}, {5, 3}, {6, 5}};
  sort_line_view(view.data(), 6);
  std::vector<std::pair<int32_t, int32_t>> got;
  for (int j = 1; j <= 6; ++j) got.emplace_back(view[j].key, view[j].view_pos);
  EXPECT_EQ(got, (std::vector<std::pair<int32_t, int32_t>>{
                     {1, 4}, {3, 2}, {3, 5}, {5, 1}, {5, 3}, {5, 6}}));
  EXPECT_EQ(view[0].view_pos, 0);  // entry 0 is not part of the view
}

TEST_F(Equivalence, LargeViewsSortLikeTheOrderSays) {
  std::mt19937 rng(99);
  for (int32_t count : {63, 64, 1000, 70000}) {
    for (int32_t spread : {1, 5, 300, 1 << 30}) {
      SCOPED_TRACE(std::to_string(count) + " keys up to " + std::to_string(spread));
      std::uniform_int_distribution<int32_t> key(-spread, spread);
      std::vector<line_entry> view(count + 1);
      for (int32_t j = 0; j <= count; ++j) view[j] = {j, key(rng)};
      for (bool in_position_order : {true, false}) {
        std::vector<line_entry> input = view;
        if (!in_position_order) std::shuffle(input.begin() + 1, input.end(), rng);
        std::vector<line_entry> expected = input;
        std::sort(expected.begin() + 1, expected.end(),
                  [](const line_entry& a, const line_entry& b) {
                    return a.key != b.key ? a.key < b.key : a.view_pos < b.view_pos;
                  });
        sort_line_view(input.data(), count);
        for (int32_t j = 1; j <= count; ++j) {
          ASSERT_EQ(input[j].key, expected[j].key) << j;
          ASSERT_EQ(input[j].view_pos, expected[j].view_pos) << j;
        }
      }
    }
  }
}

TEST_F(Equivalence, EmptyNewViewLeavesEveryOldLineWithoutClass) {
  make_tables({3, 4, 1}, {1});
  build_line_classes(tables, classes);
  EXPECT_EQ(classes.sorted_count[1], 0);
  EXPECT_EQ(classes.new_class_list[1], -1);
  EXPECT_EQ(elements(classes.old_line_class, 1, 2), (std::vector<int32_t>{0, 0}));
}

TEST_F(Equivalence, ClassesListNewLinesInFileOrder) {
  // New view 7 8 7 8 7; old lines 8, 6, 7, 8.
  make_tables({8, 6, 7, 8}, {7, 8, 7, 8, 7});
  build_line_classes(tables, classes);
  // Sorted new view: 7@1 7@3 7@5 8@2 8@4.
  EXPECT_EQ(elements(classes.new_class_list, 1, 6),
            (std::vector<int32_t>{-1, 3, 5, -2, 4, -1}));
  EXPECT_EQ(elements(classes.old_line_class, 1, 4), (std::vector<int32_t>{4, 0, 1, 4}));
}

// Counting gives the vectors that sorting gives, whatever the keys: old keys
// below, among and above the new ones, keys of one file only, a common prefix
// and suffix, classes of every size.
TEST_F(Equivalence, CountingGivesTheClassesSortingGives) {
  struct key_case {
    const char* name;
    int32_t lines;
    int32_t low, high;  // the keys' range
    bool shared_ends;
  };
  const key_case cases[] = {
      {"few keys", 5000, 100, 104, false},
      {"keys as many as lines", 3000, 1, 3000, true},
      {"one key", 2000, 77, 77, false},
      {"wide range", 80000, 1 << 20, (1 << 20) + 70000, true},
      {"smallest counted view", 1024, 1, 1000, false},
      {"large enough for two threads", 70000, 1, 60000, true},
  };
  std::mt19937 rng(5);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    std::uniform_int_distribution<int32_t> key(c.low, c.high);
    std::uniform_int_distribution<int32_t> outside(1, 50);
    std::vector<int32_t> old_keys, new_keys;
    for (int32_t n = 0; n < c.lines; ++n) new_keys.push_back(key(rng));
    for (int32_t n = 0; n < c.lines + 100; ++n) {
      int32_t roll = outside(rng);
      // Now and then a key beyond the new view's, on either side.
      old_keys.push_back(roll == 1 ? c.low - roll : roll == 2 ? c.high + roll : key(rng));
    }
    if (c.shared_ends) {
      for (int32_t n = 0; n < 10; ++n) {
        old_keys.insert(old_keys.begin(), n + 1);
        new_keys.insert(new_keys.begin(), n + 1);
        old_keys.push_back(n + 5);
        new_keys.push_back(n + 5);
      }
    }
    class_vectors sorted = classes_by(false, old_keys, new_keys);
    class_vectors counted = classes_by(true, old_keys, new_keys);
    EXPECT_TRUE(sorted == counted);
    // Both find every old line of a key the new view has, and only those.
    int32_t with_class = 0;
    for (int32_t cls : counted.old_classes) with_class += cls != 0;
    EXPECT_GT(with_class, 0);
  }
}

// Small views, and keys spread wider than the view is long, are left to the
// sorting steps.
TEST_F(Equivalence, CountingLeavesViewsItDoesNotSuit) {
  std::vector<int32_t> spread;  // 5,000 keys over 10,000 values
  for (int32_t n = 0; n < 5000; ++n) spread.push_back(n * 2 + 1);
  std::vector<int32_t> small(1023, 9);
  for (const auto* keys : {&spread, &small}) {
    make_tables(*keys, *keys);
    tables.line_table[1][1].key = 0x7fff0000;  // no common prefix: the views are whole
    trim_common_ends(tables, classes);
    EXPECT_FALSE(count_line_classes(tables, classes));
    EXPECT_TRUE(classes.new_class_list.has_no_block());
    EXPECT_FALSE(tables.line_table[0].has_no_block());
    EXPECT_FALSE(tables.line_table[1].has_no_block());
  }
}

}  // namespace
