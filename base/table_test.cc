#include "base/table.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <thread>
#include <vector>

namespace {

// Fills elements [from, to) with values that tell where they stand.
void fill(uint32_t* table, uint64_t from, uint64_t to) {
  for (uint64_t n = from; n < to; ++n) table[n] = static_cast<uint32_t>(n * 2654435761u);
}

bool holds_fill(const uint32_t* table, uint64_t count) {
  for (uint64_t n = 0; n < count; ++n)
    if (table[n] != static_cast<uint32_t>(n * 2654435761u)) return false;
  return true;
}

// Sizes on the heap, across the line to a mapping of their own, between
// mappings, and back down; every resize keeps the elements both sizes hold.
TEST(Table, ResizingKeepsTheContentsAcrossEverySize) {
  const std::vector<uint64_t> counts = {1,       10,      60000,   70000,   1 << 20,
                                        3 << 20, 5 << 20, 5 << 20, 1 << 20, 100,
                                        4 << 20, 3,       0,       2};
  uint64_t count = 4;
  auto* table = static_cast<uint32_t*>(allocate_table(count, sizeof(uint32_t)));
  fill(table, 0, count);
  for (uint64_t next : counts) {
    table = static_cast<uint32_t*>(resize_table(table, next, sizeof(uint32_t)));
    uint64_t kept = std::min(count, next);
    ASSERT_TRUE(holds_fill(table, kept)) << count << " -> " << next;
    fill(table, kept, next);  // the whole new room is usable
    count = next;
  }
  release_table(table);
  release_table(nullptr);
}

TEST(Table, LargeTablesStartOnAHugePage) {
  void* table = allocate_table(8 << 20, 1);
  // The table follows a header of one cache line at the start of its mapping.
  EXPECT_EQ(reinterpret_cast<uintptr_t>(table) % (uintptr_t{2} << 20), 64u);
  release_table(table);
  void* small = allocate_table(16, 4);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(small) % 16, 0u);
  release_table(small);
}

// Many tables made, resized and freed in a random order, so that freed
// mappings are handed on whole, in parts, and grown: every live table keeps
// its own contents, so no two ever share memory.
void churn_tables(uint32_t seed) {
  struct live {
    uint32_t* table;
    uint64_t count;
    uint32_t tag;
  };
  std::mt19937 random(seed);
  std::vector<live> tables;
  auto tag_fill = [](live& t, uint64_t from) {
    for (uint64_t n = from; n < t.count; ++n) t.table[n] = t.tag ^ static_cast<uint32_t>(n);
  };
  auto intact = [](const live& t) {
    for (uint64_t n = 0; n < t.count; ++n)
      if (t.table[n] != (t.tag ^ static_cast<uint32_t>(n))) return false;
    return true;
  };
  for (uint32_t step = 0; step < 300; ++step) {
    // Counts from a few bytes to about 12 MiB, most of them mapped.
    uint64_t count = uint64_t{1} << (4 + random() % 18);
    count += random() % count;
    uint32_t roll = random() % 3;
    if (roll == 0 || tables.empty()) {
      live t{static_cast<uint32_t*>(allocate_table(count, sizeof(uint32_t))), count, static_cast<uint32_t>(random())};
      tag_fill(t, 0);
      tables.push_back(t);
    } else {
      size_t pick = random() % tables.size();
      live& t = tables[pick];
      ASSERT_TRUE(intact(t)) << "step " << step;
      if (roll == 1) {
        t.table = static_cast<uint32_t*>(resize_table(t.table, count, sizeof(uint32_t)));
        uint64_t kept = std::min(t.count, count);
        t.count = count;
        tag_fill(t, kept);
      } else {
        release_table(t.table);
        tables[pick] = tables.back();
        tables.pop_back();
      }
    }
  }
  for (const live& t : tables) {
    ASSERT_TRUE(intact(t));
    release_table(t.table);
  }
}

TEST(Table, FreedMemoryIsNeverHandedOutTwice) { churn_tables(1); }

// Loading makes tables on two threads at once.
TEST(Table, TwoThreadsMakeAndFreeTablesAtOnce) {
  std::thread other(churn_tables, 2);
  churn_tables(3);
  other.join();
}

// A table filled one element at a time doubles its room and keeps its
// contents; a need beyond the 32-bit byte count ends the run.
TEST(TableDeathTest, GrowingRoomKeepsTheContents) {
  table<int32_t> t(3);
  for (int32_t n = 0; n < 3; ++n) t[n] = n;
  t.make_room(4);
  EXPECT_EQ(t.room(), 6u);
  t.make_room(20);
  EXPECT_EQ(t.room(), 20u);
  for (int32_t n = 0; n < 3; ++n) EXPECT_EQ(t[n], n);
  table<int32_t> moved = reuse_table<int32_t>(std::move(t));
  EXPECT_TRUE(t.has_no_block());
  EXPECT_EQ(moved[2], 2);
  // The run ends with whatever status it has: 2 unless something set it.
  table<char> huge(1);
  EXPECT_EXIT(huge.make_room(uint64_t{1} << 32), ::testing::ExitedWithCode(2),
              "^varn: files too big, try -h\n$");
}

}  // namespace
