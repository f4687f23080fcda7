// The large-file helper end to end: the installed ovarnh called directly
// (argument zero "varnh") and through ovarn -h, on real files and pipes.
#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

// "a\nb\n" from {"a", "b"}.
std::string lines(const std::vector<std::string>& texts) {
  std::string out;
  for (const auto& t : texts) out += t + "\n";
  return out;
}

// count lines "<stem>1\n" ... "<stem>count\n".
std::string numbered(const std::string& stem, int count) {
  std::string out;
  for (int i = 1; i <= count; ++i) out += stem + std::to_string(i) + "\n";
  return out;
}

// Each line of text with prefix in front, as a change lists it.
std::string listed(const std::string& prefix, const std::string& text) {
  std::string out;
  std::string::size_type start = 0;
  while (start < text.size()) {
    const auto end = text.find('\n', start);
    const auto stop = end == std::string::npos ? text.size() : end + 1;
    out += prefix + text.substr(start, stop - start);
    start = stop;
  }
  return out;
}

const std::string kTail = numbered("tail", 40);
const std::string kNoResync = "---change record omitted\n";
const std::string kResyncMessage = "varnh: can't resynchronize\n";

struct pair_case {
  const char* name;
  std::string old_text;
  std::string new_text;
  std::vector<std::string> options;
  std::string out;
  std::string err;
  int status;
};

std::vector<pair_case> pair_cases() {
  const std::string a_to_f = lines({"a", "b", "c", "d", "e", "f"});
  const std::string line253(253, 'l');
  const std::string line254(254, 'm');
  const std::string line599(599, 'w');
  std::string line599_changed = line599;
  line599_changed[550] = 'W';
  return {
      {"two empty files", "", "", {}, "", "", 0},
      {"equal files", a_to_f, a_to_f, {}, "", "", 0},
      {"first empty", "", lines({"x", "y"}), {}, "0a1,$\n> x\n> y\n", "", 1},
      {"second empty", lines({"x", "y"}), "", {}, "1,$d0\n< x\n< y\n", "", 1},
      {"one changed line", a_to_f, lines({"a", "X", "c", "d", "e", "f"}), {},
       "2c2\n< b\n---\n> X\n", "", 1},
      {"one deleted line", a_to_f, lines({"a", "c", "d", "e", "f"}), {}, "2d1\n< b\n", "", 1},
      {"one added line", lines({"a", "c", "d", "e", "f"}), a_to_f, {}, "1a2\n> b\n", "", 1},
      {"two lines into three", lines({"a", "b1", "b2", "c", "d", "e", "f"}),
       lines({"a", "x1", "x2", "x3", "c", "d", "e", "f"}), {},
       "2,3c2,4\n< b1\n< b2\n---\n> x1\n> x2\n> x3\n", "", 1},
      {"end met before three equal lines", lines({"a", "b", "c", "d"}),
       lines({"a", "X", "c", "d"}), {},
       "2,$c2,$\n< b\n< c\n< d\n---\n> X\n> c\n> d\n", "", 1},
      {"changes then the first file ends", lines({"a", "b", "c", "d", "e", "f"}),
       lines({"a", "X", "c", "d", "e", "f", "g", "h"}), {},
       "2c2\n< b\n---\n> X\n6a7,$\n> g\n> h\n", "", 1},
      {"changes then the second file ends", lines({"a", "X", "c", "d", "e", "f", "g"}),
       lines({"a", "b", "c", "d", "e", "f"}), {},
       "2c2\n< X\n---\n> b\n7,$d6\n< g\n", "", 1},
      {"27 deleted lines", "p\n" + numbered("gone", 27) + kTail, "p\n" + kTail, {},
       "2,28d1\n" + listed("< ", numbered("gone", 27)), "", 1},
      {"28 deleted lines", "p\n" + numbered("gone", 28) + kTail, "p\n" + kTail, {},
       "2,$c2,$\n" + kNoResync, kResyncMessage, 2},
      {"27 added lines", "p\n" + kTail, "p\n" + numbered("new", 27) + kTail, {},
       "1a2,28\n" + listed("> ", numbered("new", 27)), "", 1},
      {"28 added lines", "p\n" + kTail, "p\n" + numbered("new", 28) + kTail, {},
       "2,$c2,$\n" + kNoResync, kResyncMessage, 2},
      {"27 changed lines", "p\n" + numbered("old", 27) + kTail,
       "p\n" + numbered("new", 27) + kTail, {},
       "2,28c2,28\n" + listed("< ", numbered("old", 27)) + "---\n" +
           listed("> ", numbered("new", 27)),
       "", 1},
      {"28 changed lines", "p\n" + numbered("old", 28) + kTail,
       "p\n" + numbered("new", 28) + kTail, {}, "2,$c2,$\n" + kNoResync, kResyncMessage, 2},
      {"27 lines changed into 1", "p\n" + numbered("old", 27) + kTail, "p\nnew\n" + kTail, {},
       "2,28c2\n" + listed("< ", numbered("old", 27)) + "---\n> new\n", "", 1},
      {"no line in common", numbered("x", 40), numbered("y", 40), {},
       "1,$c1,$\n" + kNoResync, kResyncMessage, 2},
      {"changes kept before a failure",
       "a\nb\nc\nd\ne\n" + numbered("x", 40), "a\nB\nc\nd\ne\n" + numbered("y", 40), {},
       "2c2\n< b\n---\n> B\n6,$c6,$\n" + kNoResync, kResyncMessage, 2},
      {"only two equal lines after a change",
       "a\nb\nc\nd\n" + numbered("x", 40), "a\nB\nc\nd\n" + numbered("y", 40), {},
       "2,$c2,$\n" + kNoResync, kResyncMessage, 2},
      {"tie: deletion before change", "p\nx\na\na\na\na\n" + numbered("s", 35),
       "p\na\na\na\na\n" + numbered("s", 35), {}, "2d1\n< x\n", "", 1},
      {"tie mirrored: addition", "p\na\na\na\na\n" + numbered("s", 35),
       "p\nx\na\na\na\na\n" + numbered("s", 35), {}, "1a2\n> x\n", "", 1},
      {"last line without newline", "a\nb\nc", "a\nb\nd", {}, "3,$c3,$\n< c---\n> d", "", 1},
      {"runs of blanks differ exactly", "a  b\n" + kTail, "a b\n" + kTail, {},
       "1c1\n< a  b\n---\n> a b\n", "", 1},
      {"runs of blanks under -b", "a  b\nc \t d\n" + kTail, "a b\nc d\n" + kTail, {"-b"}, "",
       "", 0},
      {"trailing blanks under -b", "a b   \n" + kTail, "a b\n" + kTail, {"-b"}, "", "", 0},
      {"-bb acts as -b", "a  b\n" + kTail, "a b\n" + kTail, {"-bb"}, "", "", 0},
      {"leading blank under -b", " a\n" + kTail, "a\n" + kTail, {"-b"},
       "1c1\n<  a\n---\n> a\n", "", 1},
      {"-w is ignored", "a  b\n" + kTail, "a b\n" + kTail, {"-w"},
       "1c1\n< a  b\n---\n> a b\n", "", 1},
      {"line of 254 bytes is one line", line253 + "\n", line253 + "\n\n", {}, "1a2,$\n> \n",
       "", 1},
      {"line of 255 bytes is two lines", line254 + "\n", line254 + "\n\n", {}, "2a3,$\n> \n",
       "", 1},
      {"line of 600 bytes is three lines", "head\n" + line599 + "\n" + kTail,
       "head\n" + line599_changed + "\n" + kTail, {},
       "4c4\n< " + line599.substr(508) + "\n---\n> " + line599_changed.substr(508) + "\n", "",
       1},
  };
}

class HelperPairs : public testing::TestWithParam<bool> {
 protected:
  void SetUp() override {
    if (GetParam() && programs_emulated()) GTEST_SKIP() << kExecUnderEmulation;
  }

  // The helper directly, or the main program handing the run over under -h.
  run_result compare(const std::vector<std::string>& options, const std::string& first,
                     const std::string& second, const std::string& input = "") {
    std::vector<std::string> args;
    if (GetParam()) args.push_back("-h");
    args.insert(args.end(), options.begin(), options.end());
    args.push_back(first);
    args.push_back(second);
    return GetParam() ? run_ovarn(args, input) : run_ovarnh(args, input);
  }
};

TEST_P(HelperPairs, ListingAndStatus) {
  for (const auto& c : pair_cases()) {
    temp_dir dir;
    write_file(dir / "old", c.old_text);
    write_file(dir / "new", c.new_text);
    const run_result r = compare(c.options, dir / "old", dir / "new");
    EXPECT_EQ(r.out, c.out) << c.name;
    EXPECT_EQ(r.err, c.err) << c.name;
    EXPECT_EQ(r.status, c.status) << c.name;
  }
}

TEST_P(HelperPairs, StandardInputAsSecondOperand) {
  temp_dir dir;
  write_file(dir / "a", lines({"a", "b", "c", "d", "e", "f"}));
  const run_result r = compare({}, dir / "a", "-", lines({"a", "X", "c", "d", "e", "f"}));
  EXPECT_EQ(r.out, "2c2\n< b\n---\n> X\n");
  EXPECT_EQ(r.status, 1);
}

// A "-" in front of the operands is taken as an option group, so standard
// input can be compared only as the second operand.
TEST_P(HelperPairs, StandardInputAsFirstOperandIsRefused) {
  temp_dir dir;
  write_file(dir / "a", "a\n");
  const run_result r = compare({}, "-", dir / "a", "x\n");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "varnh: must have 2 file arguments\n");
  EXPECT_EQ(r.status, 2);
}

// A range that runs to the end of a file lists at most 16385 lines (the
// count that stands for "to the end", and one); where a file goes on beyond
// them, its further lines follow in further changes, none of them lost.
// rest_of: lines first.. of "added1".."added<count>", line n of the long
// file being "added<n - shift>", as changes from line `first` on, the other
// file having ended after its line `ended`.
std::string rest_of(bool adding, int ended, int first, int shift, int count) {
  std::string out;
  for (int from = first; from - shift <= count; from += 16385) {
    const std::string range = std::to_string(from) + ",$";
    const std::string other = std::to_string(ended);
    out += adding ? other + "a" + range + "\n" : range + "d" + other + "\n";
    for (int n = from; n < from + 16385 && n - shift <= count; ++n)
      out += (adding ? "> added" : "< added") + std::to_string(n - shift) + "\n";
  }
  return out;
}

TEST_P(HelperPairs, RestOfALongFileIsListedInChangesOfAtMost16385Lines) {
  temp_dir dir;
  constexpr int kAdded = 40000;
  const std::string added = numbered("added", kAdded);
  write_file(dir / "short", "a\n");
  write_file(dir / "long", "a\n" + added);
  run_result r = compare({}, dir / "short", dir / "long");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out == rest_of(true, 1, 2, 1, kAdded)) << r.out.size() << " bytes";

  r = compare({}, dir / "long", dir / "short");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out == rest_of(false, 1, 2, 1, kAdded)) << r.out.size() << " bytes";

  // The end met during the search: both rests form one change, then the
  // longer file goes on alone.
  write_file(dir / "short", "a\nx\n");
  write_file(dir / "long", "a\ny\n" + added);
  r = compare({}, dir / "short", dir / "long");
  EXPECT_EQ(r.status, 1);
  EXPECT_TRUE(r.out == "2,$c2,$\n< x\n---\n> y\n" + listed("> ", numbered("added", 16384)) +
                           rest_of(true, 2, 16387, 2, kAdded))
      << r.out.size() << " bytes";
}

TEST(HelperCommandLine, NeedsTwoOperandsAfterTheOptionGroups) {
  const std::vector<std::vector<std::string>> cases = {
      {}, {"a"}, {"a", "b", "c"}, {"-b"}, {"-h", "-", "-"}, {"-", "a"},
  };
  temp_dir dir;
  write_file(dir / "a", "a\n");
  write_file(dir / "b", "b\n");
  for (const auto& args : cases) {
    const run_result r = run_ovarnh(args, "", dir.path());
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "varnh: must have 2 file arguments\n");
    EXPECT_EQ(r.status, 2);
  }
}

TEST(HelperCommandLine, OptionsOfTheMainProgramAreConsumed) {
  temp_dir dir;
  write_file(dir / "a", "a  b\n");
  write_file(dir / "b", "a b\n");
  // An -S cut down to "-", and letters only the main program knows.
  run_result r = run_ovarnh({"-h", "-", "-wit", "-l", "-r", "-s", "a", "b"}, "", dir.path());
  EXPECT_EQ(r.out, "1,$c1,$\n< a  b\n---\n> a b\n");
  EXPECT_EQ(r.status, 1);
  r = run_ovarnh({"-h", "-", "-hb", "a", "b"}, "", dir.path());
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 0);
}

TEST(HelperOperands, DirectoryStandsForTheEntryNamedAfterTheOtherOperand) {
  temp_dir dir;
  make_dir(dir / "d");
  make_dir(dir / "x");
  write_file(dir / "d/y", lines({"a", "b", "c", "d", "e", "f"}));
  write_file(dir / "x/y", lines({"a", "c", "d", "e", "f"}));
  run_result r = run_ovarnh({"d", "x/y"}, "", dir.path());
  EXPECT_EQ(r.out, "2d1\n< b\n");
  EXPECT_EQ(r.status, 1);
  r = run_ovarnh({"x/y", "d"}, "", dir.path());
  EXPECT_EQ(r.out, "1a2\n> b\n");
  EXPECT_EQ(r.status, 1);
}

TEST(HelperOperands, FailuresNameThePathTried) {
  temp_dir dir;
  make_dir(dir / "d");
  make_dir(dir / "x");
  write_file(dir / "x/y", "y\n");
  write_file(dir / "f", "f\n");
  struct {
    std::vector<std::string> args;
    std::string err;
  } const cases[] = {
      {{"m", "f"}, "varnh: can't access m\n"},
      {{"f", "m"}, "varnh: can't access m\n"},
      {{"m", "n"}, "varnh: can't access m\n"},  // the first failure ends the run
      {{"d", "x/y"}, "varnh: can't opend/y\n"},
      {{"d", "x/y/"}, "varnh: can't opend/y/\n"},  // a trailing slash stays
      {{"f", "d"}, "varnh: can't opend/f\n"},
      {{"d", "-"}, "varnh: can't opend/-\n"},
      {{"d", std::string(120, 'n')}, "varnh: can't opend/" + std::string(120, 'n') + "\n"},
  };
  for (const auto& c : cases) {
    const run_result r = run_ovarnh(c.args, "", dir.path());
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.status, 2);
  }
}

TEST(HelperOperands, DirectoryWithStandardInputOpensDash) {
  temp_dir dir;
  make_dir(dir / "d");
  write_file(dir / "d/-", lines({"a", "b", "c", "d", "e"}));
  const run_result r = run_ovarnh({"d", "-"}, lines({"a", "c", "d", "e"}), dir.path());
  EXPECT_EQ(r.out, "2d1\n< b\n");
  EXPECT_EQ(r.status, 1);
}

TEST(HelperOperands, UnreadableFileIsNotTakenForAnEmptyOne) {
  temp_dir dir;
  make_dir(dir / "d");
  make_dir(dir / "d/y");
  write_file(dir / "y", "y\n");
  const run_result r = run_ovarnh({"d", "y"}, "", dir.path());
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "varnh: d/y: " + error_text(EISDIR) + "\n");
  EXPECT_EQ(r.status, 2);
}

// Old and new with changes of every kind, each at most 27 lines and each
// followed by many equal lines, so that the helper resynchronises on all.
struct edit_pair {
  std::string old_text;
  std::string new_text;
};

edit_pair edited_pair() {
  edit_pair p;
  for (int block = 0; block < 60; ++block) {
    const std::string b = std::to_string(block);
    const std::string common = numbered("block " + b + " line ", 35);
    const int size = 1 + block % 27;
    switch (block % 4) {
      case 0: p.old_text += numbered("gone " + b + " ", size); break;
      case 1: p.new_text += numbered("new " + b + " ", size); break;
      case 2:
        p.old_text += numbered("was " + b + " ", size);
        p.new_text += numbered("is " + b + " ", 28 - size);
        break;
      default: break;
    }
    p.old_text += common;
    p.new_text += common;
  }
  return p;
}

TEST_P(HelperPairs, PatchTurnsOldIntoNewWithTheListing) {
  temp_dir dir;
  const edit_pair p = edited_pair();
  write_file(dir / "old", p.old_text);
  write_file(dir / "new", p.new_text);
  const run_result listing = compare({}, dir / "old", dir / "new");
  ASSERT_EQ(listing.status, 1) << listing.err;
  ASSERT_EQ(listing.out.find('$'), std::string::npos);
  run_request patch;
  patch.path = outside_program("patch", "patch");
  patch.argv = {"patch", "-s", "-o", dir / "out", dir / "old"};
  patch.input = listing.out;
  const run_result applied = run_program(patch);
  EXPECT_EQ(applied.status, 0) << applied.out << applied.err;
  EXPECT_TRUE(read_file(dir / "out") == p.new_text);
}

INSTANTIATE_TEST_SUITE_P(Helper, HelperPairs, testing::Values(false, true),
                         [](const testing::TestParamInfo<bool>& p) {
                           return p.param ? "ThroughMainProgram" : "Direct";
                         });

}  // namespace
