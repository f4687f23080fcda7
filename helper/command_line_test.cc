#include "helper/command_line.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

struct parsed {
  int blank_runs;
  std::string first;
  std::string second;
};

// The operands are "<failed>" when the command line is refused.
parsed parse(std::vector<std::string> args) {
  args.insert(args.begin(), "varnh");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  helper_state state;
  helper_operands ops;
  if (!read_command_line(state, static_cast<int>(args.size()), argv.data(), ops)) {
    return {state.blank_runs, "<failed>", "<failed>"};
  }
  return {state.blank_runs, ops.paths[0], ops.paths[1]};
}

TEST(ReadCommandLine, CountsBLettersAndIgnoresTheRest) {
  struct {
    std::vector<std::string> args;
    int blank_runs;
    const char* first;
    const char* second;
  } const cases[] = {
      {{"x", "y"}, 0, "x", "y"},
      {{"-h", "-b", "x", "y"}, 1, "x", "y"},
      {{"-h", "-w", "x", "y"}, 0, "x", "y"},
      {{"-hbb", "x", "y"}, 2, "x", "y"},
      {{"-h", "-b", "-b", "x", "y"}, 2, "x", "y"},
      {{"-hitlrs", "x", "y"}, 0, "x", "y"},
      {{"-h", "-", "x", "y"}, 0, "x", "y"},     // an -S cut down to "-"
      {{"-h", "x", "-"}, 0, "x", "-"},          // standard input second
      {{"-h", "x", "-b"}, 0, "x", "-b"},        // the scan stops at x
      {{"-h", "", "y"}, 0, "", "y"},            // an empty text is an operand
  };
  for (const auto& c : cases) {
    const parsed p = parse(c.args);
    EXPECT_EQ(p.blank_runs, c.blank_runs) << c.args.size();
    EXPECT_EQ(p.first, c.first);
    EXPECT_EQ(p.second, c.second);
  }
}

TEST(ReadCommandLine, NeedsExactlyTwoOperands) {
  const std::vector<std::vector<std::string>> cases = {
      {}, {"x"}, {"x", "y", "z"}, {"-b"}, {"-h", "-", "-"}, {"-", "x"}, {"-h", "x", "y", "z"},
  };
  for (const auto& args : cases) {
    testing::internal::CaptureStderr();
    EXPECT_EQ(parse(args).first, "<failed>") << args.size();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "varnh: must have 2 file arguments\n");
  }
}

}  // namespace
