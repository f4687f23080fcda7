#include "cli/parse_options.h"

#include "base/run_options.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/run_state.h"

namespace {

using enum output_format;

// Owns the argument texts, since parse_options cuts them in place.
struct command_line {
  std::vector<std::string> texts;
  std::vector<char*> argv;

  explicit command_line(std::vector<std::string> args) : texts(std::move(args)) {
    texts.insert(texts.begin(), "ovarn");
    texts.push_back("old");
    texts.push_back("new");
    for (auto& t : texts) argv.push_back(t.data());
    argv.push_back(nullptr);
  }
  int argc() const { return static_cast<int>(argv.size()) - 1; }
  // The argument as it reads after parsing (up to its first NUL).
  std::string arg(int k) const { return std::string(argv[k]); }
};

run_options parse(command_line& line) {
  run_options options;
  run_state state;
  parse_options(line.argc(), line.argv.data(), options, state);
  return options;
}

struct format_case {
  std::vector<std::string> args;
  output_format format;
  int32_t context_lines;
};

TEST(ParseOptions, LastFormatLetterWinsAndCountsFollowTheRuleForC) {
  const format_case cases[] = {
      {{}, FMT_NORMAL, 0},
      {{"-e", "-c5"}, FMT_CONTEXT, 5},
      {{"-c5", "-e"}, FMT_EDIT, 5},
      {{"-c", "-c7"}, FMT_CONTEXT, 7},
      {{"-c7", "-c"}, FMT_CONTEXT, 3},
      {{"-c0"}, FMT_CONTEXT, 0},
      {{"-c12"}, FMT_CONTEXT, 12},
      {{"-cb"}, FMT_CONTEXT, 3},
      {{"-c99999999999"}, FMT_CONTEXT, INT32_MAX},
      {{"-DX", "-e"}, FMT_EDIT, 0},
      {{"-f"}, FMT_REVERSE, 0},
      {{"-n"}, FMT_NUMBERED, 0},
      {{"-e", "-D"}, FMT_IFDEF, 0},
  };
  for (const auto& c : cases) {
    command_line line(c.args);
    run_options o = parse(line);
    EXPECT_EQ(o.output_format, c.format) << ::testing::PrintToString(c.args);
    EXPECT_EQ(o.context_lines, c.context_lines) << ::testing::PrintToString(c.args);
  }
}

TEST(ParseOptions, LettersCombineInOneArgumentOrSeveral) {
  for (auto args : {std::vector<std::string>{"-bw"}, {"-b", "-w"}, {"-wb"}, {"-b", "-", "-w"}}) {
    command_line line(args);
    run_options o = parse(line);
    EXPECT_EQ(o.blank_runs, 1);
    EXPECT_EQ(o.all_blanks, 1);
    EXPECT_EQ(o.fold_case, 0);
    EXPECT_EQ(o.output_format, FMT_NORMAL);
  }
  command_line line({"-cb"});
  EXPECT_EQ(parse(line).blank_runs, 1);
}

TEST(ParseOptions, CountersCountEveryOccurrence) {
  command_line line({"-hh", "-rlr", "-s"});
  run_options o = parse(line);
  EXPECT_EQ(o.hand_off, 2);
  EXPECT_EQ(o.recursive, 2);
  EXPECT_EQ(o.long_listing, 1);
  EXPECT_EQ(o.report_identical, 1);
}

TEST(ParseOptions, StartNameIsCutOutOfTheArgument) {
  command_line line({"-Sfoo"});
  run_options o = parse(line);
  EXPECT_STREQ(o.start_name, "foo");
  EXPECT_EQ(line.arg(1), "-");

  command_line line2({"-lSfoo"});
  o = parse(line2);
  EXPECT_STREQ(o.start_name, "foo");
  EXPECT_EQ(o.long_listing, 1);
  EXPECT_EQ(line2.arg(1), "-l");

  command_line line3({"-bSfoow"});
  o = parse(line3);
  EXPECT_STREQ(o.start_name, "foow");
  EXPECT_EQ(o.all_blanks, 0);
  EXPECT_EQ(line3.arg(1), "-b");
}

TEST(ParseOptions, DSetsBothSymbolsAndCutsTheArgument) {
  command_line line({"-tDNAME"});
  run_options o = parse(line);
  EXPECT_EQ(o.output_format, FMT_IFDEF);
  EXPECT_EQ(o.expand_tabs, 1);
  EXPECT_STREQ(o.ifdef_new, "NAME");
  EXPECT_EQ(line.arg(1), "-t");

  command_line bare({"-D"});
  o = parse(bare);
  EXPECT_STREQ(o.ifdef_new, "");
}

TEST(ParseOptions, OperandsAreTheLastTwoArgumentsWhateverTheirText) {
  std::vector<std::string> texts = {"ovarn", "-b", "-w"};
  std::vector<char*> argv;
  for (auto& t : texts) argv.push_back(t.data());
  argv.push_back(nullptr);
  run_options options;
  run_state state;
  parse_options(3, argv.data(), options, state);
  EXPECT_EQ(options.blank_runs, 0);
  EXPECT_STREQ(state.path1, "-b");
  EXPECT_STREQ(state.path2, "-w");
}

struct error_case {
  std::vector<std::string> args;
  const char* message;
};

TEST(ParseOptionsDeathTest, ErrorsEndTheRunWithStatusTwo) {
  const error_case cases[] = {
      {{"-c1x"}, "varn: -c: bad count\n"},
      {{"-c1b"}, "varn: -c: bad count\n"},
      {{"-S"}, "varn: use -Sstart\n"},
      {{"-x"}, "varn: -x: unknown option\n"},
      {{"-bx"}, "varn: -x: unknown option\n"},
      {{"-xb"}, "varn: -xb: unknown option\n"},
      {{"--"}, "varn: --: unknown option\n"},
      {{"a"}, "varn: two filename arguments required\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EXIT(
        {
          command_line line(c.args);
          parse(line);
        },
        ::testing::ExitedWithCode(2), ::testing::HasSubstr(c.message))
        << ::testing::PrintToString(c.args);
  }
}

}  // namespace
