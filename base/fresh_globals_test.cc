// Every unit test of the main program starts from the run_state and
// run_options a process starts with, whatever the tests run before it left
// there: the tests run in any order, and a test that sets the exit status or
// parses a command line (whose option texts then point into its own strings)
// must not hand that on to the next. Nor does it start with the spare table
// mappings that earlier tests left, which would add their memory to its own.
#include <gtest/gtest.h>

#include "base/run_options.h"
#include "base/run_state.h"
#include "base/table.h"

namespace {

class fresh_globals : public testing::EmptyTestEventListener {
  void OnTestStart(const testing::TestInfo&) override {
    state = run_state{};
    options = run_options{};
    release_spare_tables();
  }
};

// Registered before the tests run, as gtest_main runs them.
const bool registered = [] {
  testing::UnitTest::GetInstance()->listeners().Append(new fresh_globals);
  return true;
}();

}  // namespace
