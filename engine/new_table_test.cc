#include "engine/new_table.h"

#include <gtest/gtest.h>

#include <cstdint>
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
TEST(new_table_test, ResizingKeepsTheContentsAcrossEverySize) {
  const std::vector<uint64_t> counts = {1,       10,      60000,   70000,   1 << 20,
                                        3 << 20, 5 << 20, 5 << 20, 1 << 20, 100,
                                        4 << 20, 3,       0,       2};
  uint64_t count = 4;
  auto* table = static_cast<uint32_t*>(new_table(count, sizeof(uint32_t)));
  fill(table, 0, count);
  for (uint64_t next : counts) {
    table = static_cast<uint32_t*>(resize_table(table, next, sizeof(uint32_t)));
    uint64_t kept = std::min(count, next);
    ASSERT_TRUE(holds_fill(table, kept)) << count << " -> " << next;
    fill(table, kept, next);  // the whole new room is usable
    count = next;
  }
  free_table(table);
  free_table(nullptr);
}

TEST(new_table_test, LargeTablesStartOnAHugePage) {
  void* table = new_table(8 << 20, 1);
  // The table follows a header of one cache line at the start of its mapping.
  EXPECT_EQ(reinterpret_cast<uintptr_t>(table) % (uintptr_t{2} << 20), 64u);
  free_table(table);
  void* small = new_table(16, 4);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(small) % 16, 0u);
  free_table(small);
}

}  // namespace
