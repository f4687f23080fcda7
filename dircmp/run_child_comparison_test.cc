#include "dircmp/run_child_comparison.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/build_paths.h"
#include "base/run_state.h"
#include "dircmp/listing_title.h"

namespace {

// Real processes: printf stands in for the compared pair's output, and the
// pager is the configured pr.
class child_runs : public ::testing::Test {
 protected:
  void SetUp() override {
    state.arg_vector = printf_args;
    state.path1 = path1;
    state.path2 = path2;
    char* title_args[] = {argv0, option_l, path1, path2, nullptr};
    build_listing_title(title, title_args);
  }

  char printf_name[7] = "printf";
  char printf_text[9] = "changes\n";
  char* printf_args[3] = {printf_name, printf_text, nullptr};
  char argv0[6] = "ovarn";
  char option_l[3] = "-l";
  char path1[4] = "a/x";
  char path2[4] = "b/x";
  command_title title;
  run_state state;
};

const char kPrintf[] = "/usr/bin/printf";

using ChildRuns = child_runs;

TEST_F(ChildRuns, OutputFollowsWhatTheParentPrinted) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  fputs("before\n", stdout);  // still in the buffer when the child starts
  run_child_program(state, nullptr, kPrintf, OVARN_PAGER_PATH);
  fputs("after\n", stdout);
  fflush(stdout);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "before\nchanges\nafter\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(ChildRuns, PagedOutputCarriesTheCompletedTitle) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  run_child_program(state, &title, kPrintf, OVARN_PAGER_PATH);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  const size_t title = out.find("varn -l a/x b/x");
  ASSERT_NE(title, std::string::npos) << out;
  EXPECT_NE(out.find("changes\n", title), std::string::npos) << out;
}

TEST_F(ChildRuns, MissingProgramIsReportedAndTheCallerGoesOn) {
  for (command_title* paged : {static_cast<command_title*>(nullptr), &title}) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    run_child_program(state, paged, "/nonexistent-ovarn/bin/ovarn", OVARN_PAGER_PATH);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              std::string("/nonexistent-ovarn/bin/ovarn: ") + strerror(ENOENT) + "\n");
    EXPECT_EQ(out.find("changes"), std::string::npos) << out;
  }
}

TEST_F(ChildRuns, MissingPagerLosesTheOutputAndTheCallerGoesOn) {
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  run_child_program(state, &title, kPrintf, "/usr/nonexistent-ovarn/pr");
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            std::string("/usr/nonexistent-ovarn/pr: ") + strerror(ENOENT) + "\n");
}

}  // namespace
