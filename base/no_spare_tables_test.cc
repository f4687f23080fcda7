// Every unit test of the main program starts without the spare table
// mappings that earlier tests left, which would add their memory to its own:
// the tests run in any order.
#include <gtest/gtest.h>

#include "base/table.h"

namespace {

class no_spare_tables : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override { release_spare_tables(); }
};

// Registered before the tests run, as gtest_main runs them.
const bool registered = [] {
  testing::UnitTest::GetInstance()->listeners().Append(new no_spare_tables);
  return true;
}();

}  // namespace
