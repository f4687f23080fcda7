#include "engine/table_growth.h"

#include "engine/new_table.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "cli/exit_run.h"
#include "cli/run_state.h"

namespace {

TEST(table_growth_test, RoomDoublesAndKeepsTheContents) {
  uint64_t capacity = 3;
  auto* table = static_cast<int32_t*>(new_table(capacity, sizeof(int32_t)));
  for (int32_t n = 0; n < 3; ++n) table[n] = n;
  EXPECT_EQ(grow_table(table, 3, sizeof(int32_t), &capacity), table);  // room enough
  EXPECT_EQ(capacity, 3u);
  table = static_cast<int32_t*>(grow_table(table, 4, sizeof(int32_t), &capacity));
  EXPECT_EQ(capacity, 6u);
  table = static_cast<int32_t*>(grow_table(table, 20, sizeof(int32_t), &capacity));
  EXPECT_EQ(capacity, 20u);
  for (int32_t n = 0; n < 3; ++n) EXPECT_EQ(table[n], n);
  table[19] = 19;  // the whole room is usable
  free_table(table);
}

TEST(table_growth_test, NeedBeyondTheByteCountEndsTheRun) {
  uint64_t capacity = 1;
  void* table = new_table(1, 1);
  state.exit_status = 2;  // the run ends with whatever status it has
  // 4096 elements of 1 MiB are 4 GiB, one byte more than a 32-bit count.
  EXPECT_EXIT(grow_table(table, 4096, 1 << 20, &capacity), ::testing::ExitedWithCode(2),
              "^varn: files too big, try -h\n$");
  free_table(table);
}

}  // namespace
