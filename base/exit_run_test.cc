#include "base/exit_run.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

TEST(TableSize, FitsUpToTheLargest32BitByteCount) {
  EXPECT_EQ(table_size(0, 8), 0u);
  EXPECT_EQ(table_size(3, 8), 24u);
  EXPECT_EQ(table_size(UINT32_MAX / 8, 8), UINT32_MAX / 8 * 8);
}

TEST(TableSizeDeathTest, RefusesSizesBeyond32Bits) {
  EXPECT_EXIT(
      {
        run_exit.status = 1;
        table_size(UINT32_MAX / 8 + 1, 8);
      },
      ::testing::ExitedWithCode(1),
              "varn: files too big, try -h\n");
}

TEST(CopyString, CopiesTheTextWithItsTerminator) {
  char* copy = copy_string("a/z");
  EXPECT_STREQ(copy, "a/z");
  free(copy);
}

}  // namespace
