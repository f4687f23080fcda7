// The six output formats of a file pair, through the installed program: the
// worked examples, the stated edge cases, and the programs that consume the
// output (ed, patch, unifdef).
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

std::string lines(std::initializer_list<const char*> items) {
  std::string s;
  for (const char* l : items) s += std::string(l) + "\n";
  return s;
}

// A pair of files in a temporary directory, compared by path.
struct file_pair {
  temp_dir dir;
  std::string old_path = dir / "old";
  std::string new_path = dir / "new";

  file_pair(const std::string& old_text, const std::string& new_text) {
    write_file(old_path, old_text);
    write_file(new_path, new_text);
    // Fixed times for the context header (tests run with TZ=UTC).
    set_mtime(old_path, 1000000000);  // Sun Sep  9 01:46:40 2001
    set_mtime(new_path, 1000086400);  // Mon Sep 10 01:46:40 2001
  }

  run_result run(std::vector<std::string> options) const {
    options.push_back(old_path);
    options.push_back(new_path);
    return run_ovarn(options);
  }

  std::string context_header() const {
    return "*** " + old_path + "\tSun Sep  9 01:46:40 2001\n--- " + new_path +
           "\tMon Sep 10 01:46:40 2001\n";
  }
};

struct format_case {
  std::vector<std::string> options;
  std::string expected;
};

void expect_outputs(const file_pair& pair, const std::vector<format_case>& cases, int status = 1) {
  for (const auto& c : cases) {
    run_result r = pair.run(c.options);
    EXPECT_EQ(r.out, c.expected) << ::testing::PrintToString(c.options);
    EXPECT_EQ(r.err, "") << ::testing::PrintToString(c.options);
    EXPECT_EQ(r.status, status) << ::testing::PrintToString(c.options);
  }
}

TEST(Formats, FirstWorkedExample) {
  file_pair pair(lines({"a", "b", "c", "d", "e"}), lines({"a", "c", "d", "X", "e", "f"}));
  expect_outputs(pair, {
      {{}, "2d1\n< b\n4a4\n> X\n5a6\n> f\n"},
      {{"-e"}, "5a\nf\n.\n4a\nX\n.\n2d\n"},
      {{"-f"}, "d2\na4\nX\n.\na5\nf\n.\n"},
      {{"-n"}, "d2 1\na4 1\nX\na5 1\nf\n"},
      {{"-DNAME"},
       "a\n#ifndef NAME\nb\n#endif NAME\nc\nd\n#ifdef NAME\nX\n#endif NAME\ne\n"
       "#ifdef NAME\nf\n#endif NAME\n"},
      {{"-c1"}, pair.context_header() +
                    "***************\n*** 1,3 ****\n  a\n- b\n  c\n--- 1,2 ----\n"
                    "***************\n*** 4,5 ****\n--- 3,6 ----\n  d\n+ X\n  e\n+ f\n"},
  });
}

TEST(Formats, SecondWorkedExample) {
  file_pair pair(lines({"a", "b", "c"}), lines({"a", "x", "c"}));
  expect_outputs(pair, {
      {{}, "2c2\n< b\n---\n> x\n"},
      {{"-e"}, "2c\nx\n.\n"},
      {{"-f"}, "c2\nx\n.\n"},
      {{"-n"}, "d2 1\na2 1\nx\n"},
      {{"-DNAME"}, "a\n#ifndef NAME\nb\n#else NAME\nx\n#endif NAME\nc\n"},
      {{"-D"}, "a\n#ifdef \nb\n#else \nx\n#endif \nc\n"},
      {{"-c"}, pair.context_header() +
                   "***************\n*** 1,3 ****\n  a\n! b\n  c\n--- 1,3 ----\n  a\n! x\n  c\n"},
  });
}

TEST(Formats, EmptyOldFile) {
  file_pair pair("", lines({"x", "y"}));
  expect_outputs(pair, {
      {{}, "0a1,2\n> x\n> y\n"},
      {{"-e"}, "0a\nx\ny\n.\n"},
      {{"-f"}, "a0\nx\ny\n.\n"},
      {{"-n"}, "a0 2\nx\ny\n"},
      {{"-DN"}, "#ifdef N\nx\ny\n#endif N\n"},
      {{"-c"}, pair.context_header() + "***************\n*** 0 ****\n--- 1,2 ----\n+ x\n+ y\n"},
  });
}

TEST(Formats, EmptyNewFile) {
  file_pair pair(lines({"x", "y"}), "");
  expect_outputs(pair, {
      {{}, "1,2d0\n< x\n< y\n"},
      {{"-e"}, "1,2d\n"},
      {{"-f"}, "d1 2\n"},
      {{"-n"}, "d1 2\n"},
      {{"-DN"}, "#ifndef N\nx\ny\n#endif N\n"},
      {{"-c"}, pair.context_header() + "***************\n*** 1,2 ****\n- x\n- y\n--- 0 ----\n"},
  });
}

TEST(Formats, LineInsertedBeforeTheFirst) {
  file_pair pair(lines({"a"}), lines({"z", "a"}));
  expect_outputs(pair, {
      {{}, "0a1\n> z\n"},
      {{"-e"}, "0a\nz\n.\n"},
      {{"-f"}, "a0\nz\n.\n"},
      {{"-n"}, "a0 1\nz\n"},
      {{"-c0"}, pair.context_header() + "***************\n*** 0 ****\n--- 1 ----\n+ z\n"},
  });
}

TEST(Formats, ContextZeroShowsWhereLinesWereAdded) {
  file_pair pair(lines({"a", "b"}), lines({"a", "n", "b"}));
  expect_outputs(pair, {
      {{"-c0"}, pair.context_header() + "***************\n*** 1 ****\n--- 2 ----\n+ n\n"},
  });
}

TEST(Formats, ContextGroupsSplitByDistance) {
  std::string old_text, near_text, far_text;
  for (int i = 1; i <= 10; ++i) {
    old_text += "l" + std::to_string(i) + "\n";
    far_text += (i == 2 || i == 9 ? "X" : "l") + std::to_string(i) + "\n";
    near_text += (i == 2 || i == 8 ? "X" : "l") + std::to_string(i) + "\n";
  }
  file_pair far(old_text, far_text);
  run_result r = far.run({"-c"});
  EXPECT_NE(r.out.find("*** 1,5 ****"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("*** 6,10 ****"), std::string::npos) << r.out;
  file_pair near(old_text, near_text);
  r = near.run({"-c"});
  EXPECT_NE(r.out.find("*** 1,10 ****"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("*** 6,10 ****"), std::string::npos) << r.out;
}

TEST(Formats, ContextGroupsHoldAtMost128Changes) {
  // 129 one-line changes, each one line apart: all close together.
  std::string old_text, new_text;
  for (int i = 1; i <= 129; ++i) {
    old_text += "same" + std::to_string(i) + "\nold" + std::to_string(i) + "\n";
    new_text += "same" + std::to_string(i) + "\nnew" + std::to_string(i) + "\n";
  }
  file_pair pair(old_text, new_text);
  run_result r = pair.run({"-c"});
  size_t groups = 0;
  for (size_t at = r.out.find("***************\n"); at != std::string::npos;
       at = r.out.find("***************\n", at + 1)) {
    ++groups;
  }
  EXPECT_EQ(groups, 2u);
  // The second group starts with the 129th change (old line 258), with its
  // window overlapping the first group's.
  EXPECT_NE(r.out.find("***************\n*** 255,258 ****\n"), std::string::npos);
}

TEST(Formats, NoDifferencesEncountered) {
  file_pair same(lines({"a", "b"}), lines({"a", "b"}));
  expect_outputs(same, {{{}, ""}, {{"-e"}, ""}, {{"-c"}, "No differences encountered\n"},
                        {{"-c9"}, "No differences encountered\n"}, {{"-DX"}, ""}}, 0);
  file_pair empty("", "");
  expect_outputs(empty, {{{}, ""}, {{"-c"}, "No differences encountered\n"}}, 0);
  // Lines that only differ in what -b, -w, -i ignore: no change, status 0,
  // although the bytes differ.
  file_pair blanks(lines({"a b", "c"}), lines({"a\t  b", "c"}));
  expect_outputs(blanks, {{{"-b"}, ""}, {{"-w"}, ""}, {{"-bc"}, "No differences encountered\n"}},
                 0);
  file_pair all_blanks(lines({"a b"}), lines({"ab"}));
  expect_outputs(all_blanks, {{{"-w"}, ""}}, 0);
  file_pair cases(lines({"ABC", "[x]"}), lines({"abc", "{x}"}));
  expect_outputs(cases, {{{"-i"}, ""}}, 0);
  // Under -D the old text is still printed, and the pair counts as changed.
  expect_outputs(cases, {{{"-i", "-DX"}, "ABC\n[x]\n"}}, 1);
}

TEST(Formats, BlankOptionsKeepTheirLimits) {
  file_pair pair(lines({"a b", " a b", "x"}), lines({"ab", "a b", "x"}));
  // Under -b a blank still separates, and a leading blank counts: old line 1
  // pairs with new line 2.
  expect_outputs(pair, {{{"-b"}, "0a1\n> ab\n2d2\n<  a b\n"}});
  expect_outputs(pair, {{{"-w"}, ""}}, 0);
  file_pair cr(lines({"a"}), "a\r\n");
  expect_outputs(cr, {{{"-b"}, "1c1\n< a\n---\n> a\r\n"}, {{"-w"}, "1c1\n< a\n---\n> a\r\n"}});
}

TEST(Formats, BytesAfterTheLastNewline) {
  // Only complete lines take part; under -D the old file's tail is printed.
  file_pair pair("a\nb\ntail", "a\nc\nother");
  expect_outputs(pair, {
      {{}, "2c2\n< b\n---\n> c\n"},
      {{"-DX"}, "a\n#ifndef X\nb\n#else X\nc\n#endif X\ntail"},
  });
  file_pair tails_only("a\nx", "a\ny");
  expect_outputs(tails_only, {{{}, ""}, {{"-c"}, "No differences encountered\n"}}, 0);
  file_pair no_newline("abc", "x\ny");
  expect_outputs(no_newline, {{{}, "0a1\n> x\n"}}, 1);
}

TEST(Formats, LinesLongerThanAReadBlockArePrintedWhole) {
  // Changed lines are copied out in blocks of 64 KiB: lines that run over a
  // block's end, and ranges of many such lines, keep every byte and get
  // their prefix once.
  std::string long_old(100000, 'o');
  std::string long_new = std::string(65535, 'n') + "\t" + std::string(70000, 'm');
  std::string run_old;
  std::string listed_old;
  for (int n = 0; n < 40; ++n) {
    std::string line = std::string(static_cast<size_t>(5000 + 97 * n), static_cast<char>('a' + n % 26));
    run_old += line + "\n";
    listed_old += "< " + line + "\n";
  }
  file_pair pair("x\n" + long_old + "\ny\n" + run_old + "z\n", "x\n" + long_new + "\ny\nz\n");
  expect_outputs(pair, {
      {{}, "2c2\n< " + long_old + "\n---\n> " + long_new + "\n4,43d3\n" + listed_old},
      {{"-e"}, "4,43d\n2c\n" + long_new + "\n.\n"},
  });
}

TEST(Formats, TabExpansion) {
  file_pair pair("", lines({"\tx", "abcdefg\th", "ab\tc\td", "abcdefgh\ti"}));
  expect_outputs(pair, {
      {{"-t"}, "0a1,4\n>         x\n> abcdefg h\n> ab      c       d\n> abcdefgh        i\n"},
      {{}, "0a1,4\n> \tx\n> abcdefg\th\n> ab\tc\td\n> abcdefgh\ti\n"},
  });
  file_pair merged(lines({"\ta", "b"}), lines({"\ta", "\tc"}));
  expect_outputs(merged, {{{"-t", "-DN"}, "\ta\n#ifndef N\nb\n#else N\n        c\n#endif N\n"}});
}

TEST(Formats, ASingleDotIsPrintedUnchanged) {
  file_pair pair(lines({"a"}), lines({"."}));
  expect_outputs(pair, {{{"-e"}, "1c\n.\n.\n"}, {{"-f"}, "c1\n.\n.\n"}});
}

TEST(Formats, HashCollisionsAreNotReportedAsMatches) {
  // Shifts cycle through 16 positions: a byte at position 0 and the same
  // byte at position 16 both count unshifted, so these lines differ but
  // (with equal bytes elsewhere) add up alike: "b" + 15 NULs + "a" against
  // "a" + 15 NULs + "b".
  std::string one = std::string("b") + std::string(15, '\0') + "a\n";
  std::string two = std::string("a") + std::string(15, '\0') + "b\n";
  file_pair pair("x\n" + one + "y\n", "x\n" + two + "y\n");
  run_result r = pair.run({});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "2c2\n< " + one + "---\n> " + two);
}

TEST(Formats, BinaryFilesAreReportedNotCompared) {
  temp_dir dir;
  std::string header(32, 'a');
  header[0] = 0x07;
  header[1] = 0x01;
  write_file(dir / "exe", header);
  write_file(dir / "short", header.substr(0, 31));
  write_file(dir / "text", "plain\n");
  write_file(dir / "high", std::string(1024, 'a') + "\xe9\n");
  write_file(dir / "early", "a\xe9\n");
  std::string be = std::string("\0\0\x01\x0b", 4) + std::string(28, 'x');
  write_file(dir / "be", be);
  struct binary_case {
    std::string first, second;
    bool binary;
  };
  const binary_case cases[] = {
      {"exe", "text", true},   {"text", "exe", true}, {"short", "text", false},
      {"high", "text", false}, {"early", "text", true}, {"be", "text", true},
  };
  for (const auto& c : cases) {
    run_result r = run_ovarn({dir / c.first, dir / c.second});
    EXPECT_EQ(r.status, 1) << c.first;
    const std::string report =
        "Binary files " + (dir / c.first) + " and " + (dir / c.second) + " differ\n";
    if (c.binary) {
      EXPECT_EQ(r.out, report) << c.first;
    } else {
      EXPECT_NE(r.out, report) << c.first;
    }
  }
}

TEST(Formats, DirectoryOperandIsJoinedWithTheOtherName) {
  temp_dir dir;
  make_dir(dir / "a");
  make_dir(dir / "x");
  make_dir(dir / "x/y");
  write_file(dir / "a/z", "1\n");
  write_file(dir / "x/y/z", "2\n");
  write_file(dir / "f", "3\n");
  write_file(dir / "a/f", "3\n");
  run_result r = run_ovarn({"-c", dir / "a", dir / "x/y/z"});
  EXPECT_EQ(r.out.rfind("*** " + (dir / "a") + "/z\t", 0), 0u) << r.out;
  EXPECT_NE(r.out.find("--- " + (dir / "x/y/z") + "\t"), std::string::npos);
  r = run_ovarn({dir / "x/y/z", dir / "a"});
  EXPECT_EQ(r.out, "1c1\n< 2\n---\n> 1\n");
  r = run_ovarn({"a", "f"}, "", dir.path());
  EXPECT_EQ(r.status, 0);
  r = run_ovarn({dir / "x", dir / "f"});
  EXPECT_EQ(r.err, "varn: " + (dir / "x") + "/f: " + error_text(ENOENT) + "\n");
  EXPECT_EQ(r.status, 2);
}

// ed, patch and unifdef turn old into new with what ovarn prints.
TEST(RealClients, EdPatchAndUnifdefReproduceTheNewFile) {
  const std::vector<std::pair<std::string, std::string>> pairs = {
      {lines({"a", "b", "c", "d", "e"}), lines({"a", "c", "d", "X", "e", "f"})},
      {lines({"a", "b", "c"}), lines({"a", "x", "c"})},
      {"", lines({"x", "y"})},
      {lines({"x", "y"}), ""},
      {lines({"a", "b", "c", "a", "b", "b", "a"}), lines({"c", "b", "a", "b", "a", "c"})},
      {lines({"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"}),
       lines({"0", "1", "2", "three", "4", "5", "6", "7", "8", "nine", "10", "11", "12", "13"})},
  };
  const std::string ed_path = outside_program("ed", "ed");
  const std::string patch_path = outside_program("patch", "patch");
  const std::string unifdef_path = outside_program("unifdef", "unifdef");
  for (const auto& [old_text, new_text] : pairs) {
    file_pair pair(old_text, new_text);
    const std::string& dir = pair.dir.path();
    // ed
    run_result script = pair.run({"-e"});
    write_file(dir + "/edited", old_text);
    run_request ed;
    ed.path = ed_path;
    ed.argv = {"ed", "-s", "edited"};
    ed.input = script.out + "w\nq\n";
    ed.cwd = dir;
    run_program(ed);
    EXPECT_EQ(read_file(dir + "/edited"), new_text) << script.out;
    // patch, with the plain and the context listing
    for (const char* option : {"", "-c", "-c1"}) {
      std::vector<std::string> opts;
      if (*option) opts.push_back(option);
      run_request patch;
      patch.path = patch_path;
      patch.argv = {"patch", "-s", "-o", "patched", "old"};
      patch.input = pair.run(opts).out;
      patch.cwd = dir;
      run_result p = run_program(patch);
      EXPECT_EQ(read_file(dir + "/patched"), new_text) << option << p.out << p.err;
    }
    // unifdef
    write_file(dir + "/merged", pair.run({"-DNAME"}).out);
    for (const auto& [flag, expected] : {std::pair{"-DNAME", new_text}, {"-UNAME", old_text}}) {
      run_request unifdef;
      unifdef.path = unifdef_path;
      unifdef.argv = {"unifdef", flag, "merged"};
      unifdef.cwd = dir;
      EXPECT_EQ(run_program(unifdef).out, expected) << flag;
    }
  }
}

}  // namespace
