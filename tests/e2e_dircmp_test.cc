// Directory mode of ovarn through the installed program: "Only in" lines,
// per-entry reports, -l summaries, -r recursion, child runs, the pr pager and
// the -e here-document run through a real shell.
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

// The one-line change that the child runs print for the pair "a\nb\n" and
// "a\nx\n".
const char kOld[] = "a\nb\n";
const char kNew[] = "a\nx\n";
const char kChange[] = "2c2\n< b\n---\n> x\n";

// Every test runs in a fresh temp directory holding the operands a and b,
// named relative to it so that the reports read a/x and b/x.
class DirectoryMode : public ::testing::Test {
 protected:
  DirectoryMode() {
    make_dir(root.path() + "/a");
    make_dir(root.path() + "/b");
  }

  std::string at(const std::string& relative) const { return root / relative; }
  void file(const std::string& relative, const std::string& content) const {
    write_file(at(relative), content);
  }
  void dir(const std::string& relative) const { make_dir(at(relative)); }
  void link(const std::string& target, const std::string& relative) const {
    ASSERT_EQ(symlink(target.c_str(), at(relative).c_str()), 0);
  }
  // A pair of files x that differ in their second line.
  void differing_pair(const std::string& relative_in_both) const {
    file("a/" + relative_in_both, kOld);
    file("b/" + relative_in_both, kNew);
  }
  run_result run(std::vector<std::string> args) const {
    return run_ovarn(args, "", root.path());
  }

  temp_dir root;
};

struct output_case {
  std::vector<std::string> args;
  std::string out;
};

TEST_F(DirectoryMode, IdenticalFilesPrintNothingUnlessAsked) {
  file("a/same", "same\n");
  file("b/same", "same\n");
  file("a/empty", "");
  file("b/empty", "");
  const output_case cases[] = {
      {{"a", "b"}, ""},
      {{"-s", "a", "b"}, "Files a/empty and b/empty are identical\nFiles a/same and b/same are identical\n"},
      {{"-f", "-s", "a", "b"},
       "Files a/empty and b/empty are identical\nFiles a/same and b/same are identical\n"},
      {{"-ls", "a", "b"}, "Common identical files in a and b:\n\tempty\n\tsame\n"},
      {{"-l", "a", "b"}, ""},
      {{"-r", "-l", "a", "b"}, ""},
  };
  for (const output_case& c : cases) {
    run_result r = run(c.args);
    EXPECT_EQ(r.out, c.out) << ::testing::PrintToString(c.args);
    EXPECT_EQ(r.err, "") << ::testing::PrintToString(c.args);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(c.args);
  }
}

TEST_F(DirectoryMode, NamesOnOneSideAndDifferingPairsInNameOrder) {
  file("a/m", "only first\n");
  differing_pair("x");
  file("b/z", "only second\n");
  dir("a/only_dir");
  file("a/same", "same\n");
  file("b/same", "same\n");
  const std::string listing = std::string("Only in a: m\nOnly in a: only_dir\n") +
                              "varn a/x b/x\n" + kChange + "Only in b: z\n";
  const output_case cases[] = {
      {{"a", "b"}, listing},
      {{"a", "b/"}, std::string("Only in a: m\nOnly in a: only_dir\nvarn a/x b//x\n") + kChange +
                        "Only in b/: z\n"},
      // Under -f and -n no "Only in" line, and the pair's script in that format.
      {{"-f", "a", "b"}, "varn -f a/x b/x\nc2\nx\n.\n"},
      {{"-n", "a", "b"}, "varn -n a/x b/x\nd2 1\na2 1\nx\n"},
      // An option argument "-" is not a title word.
      {{"-", "-b", "-", "a", "b"}, std::string("Only in a: m\nOnly in a: only_dir\n") +
                                       "varn -b a/x b/x\n" + kChange + "Only in b: z\n"},
  };
  for (const output_case& c : cases) {
    run_result r = run(c.args);
    EXPECT_EQ(r.out, c.out) << ::testing::PrintToString(c.args);
    EXPECT_EQ(r.err, "") << ::testing::PrintToString(c.args);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(c.args);
  }
}

TEST_F(DirectoryMode, ContextFormatReportsOnlyInAndAnnouncesWithItsCount) {
  file("a/m", "only first\n");
  differing_pair("x");
  run_result r = run({"-c5", "a", "b"});
  EXPECT_EQ(r.out.rfind("Only in a: m\nvarn -c5 a/x b/x\n", 0), 0u) << r.out;
  EXPECT_EQ(r.status, 2);
}

TEST_F(DirectoryMode, SubdirectoriesAndBinaryPairsByFormat) {
  dir("a/d");
  dir("b/d");
  file("a/bin", std::string("text\n\xff\n"));
  file("b/bin", std::string("text\n\xfe\n"));
  const std::string dirs = "Common subdirectories: a/d and b/d\n";
  const std::string binary = "Binary files a/bin and b/bin differ\n";
  const output_case cases[] = {
      {{"a", "b"}, binary + dirs},
      {{"-c", "a", "b"}, binary + dirs},
      {{"-s", "a", "b"}, binary + dirs},
      {{"-f", "a", "b"}, dirs},
      {{"-n", "a", "b"}, dirs},
      {{"-e", "a", "b"}, ""},
      {{"-l", "a", "b"},
       "Binary files which differ in a and b:\n\tbin\n\nCommon subdirectories of a and b:\n\td\n"},
  };
  for (const output_case& c : cases) {
    run_result r = run(c.args);
    EXPECT_EQ(r.out, c.out) << ::testing::PrintToString(c.args);
    EXPECT_EQ(r.err, "") << ::testing::PrintToString(c.args);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(c.args);
  }
}

TEST_F(DirectoryMode, DirectoryAgainstFileIsACommonName) {
  dir("a/x");
  file("b/x", std::string("\x80\n"));
  run_result r = run({"a", "b"});
  EXPECT_EQ(r.out, "Binary files a/x and b/x differ\n");
  EXPECT_EQ(r.status, 2);
}

TEST_F(DirectoryMode, LongListingSummariesInSectionOrder) {
  file("a/m", "only first\n");
  file("a/n", "only first\n");
  file("b/z", "only second\n");
  file("a/same", "same\n");
  file("b/same", "same\n");
  file("a/bin", std::string("\x80"));
  file("b/bin", std::string("\x81"));
  dir("a/d");
  dir("b/d");
  dir("a/d2");
  dir("b/d2");
  const std::string only = "Only in a:\n\tm\n\tn\n\nOnly in b:\n\tz\n\n";
  const std::string rest =
      "Binary files which differ in a and b:\n\tbin\n\n"
      "Common subdirectories of a and b:\n\td\n\td2\n";
  const output_case cases[] = {
      {{"-l", "a", "b"}, only + rest},
      {{"-l", "-s", "a", "b"}, only + "Common identical files in a and b:\n\tsame\n\n" + rest},
      {{"-l", "a/", "b"}, "Only in a/:\n\tm\n\tn\n\nOnly in b:\n\tz\n\n"
                          "Binary files which differ in a/ and b:\n\tbin\n\n"
                          "Common subdirectories of a/ and b:\n\td\n\td2\n"},
  };
  for (const output_case& c : cases) {
    run_result r = run(c.args);
    EXPECT_EQ(r.out, c.out) << ::testing::PrintToString(c.args);
    EXPECT_EQ(r.err, "") << ::testing::PrintToString(c.args);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(c.args);
  }
}

TEST_F(DirectoryMode, LongListingPagesEachPairThroughPr) {
  // The program starts pr by its fixed path; this names the package when the
  // machine has none.
  if (outside_program("pr", "coreutils").empty()) return;
  differing_pair("x");
  differing_pair("y");
  file("a/m", "only first\n");
  run_result r = run({"-l", "a", "b"});
  // pr heads each pair's pages with the title; the summaries follow the
  // paged child runs.
  const size_t x_title = r.out.find("varn -l a/x b/x");
  const size_t y_title = r.out.find("varn -l a/y b/y");
  ASSERT_NE(x_title, std::string::npos) << r.out;
  ASSERT_NE(y_title, std::string::npos) << r.out;
  EXPECT_LT(x_title, y_title);
  EXPECT_NE(r.out.find(kChange, x_title), std::string::npos) << r.out;
  EXPECT_NE(r.out.find(kChange, y_title), std::string::npos) << r.out;
  EXPECT_NE(r.out.find('\f'), std::string::npos) << "pr -f separates pages with form feeds";
  const size_t summary = r.out.find("Only in a:\n\tm\n");
  EXPECT_NE(summary, std::string::npos) << r.out;
  EXPECT_GT(summary, y_title);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 2);
}

TEST_F(DirectoryMode, RecursionOverThreeLevels) {
  dir("a/d1");
  dir("b/d1");
  dir("a/d1/d2");
  dir("b/d1/d2");
  differing_pair("d1/d2/x");
  file("a/d1/d2/q", "only first\n");
  file("b/top", "only second\n");
  {
    run_result r = run({"-r", "a", "b"});
    EXPECT_EQ(r.out, std::string("Common subdirectories: a/d1 and b/d1\nOnly in b: top\n") +
                         "Common subdirectories: a/d1/d2 and b/d1/d2\n" +
                         "Only in a/d1/d2: q\nvarn -r a/d1/d2/x b/d1/d2/x\n" + kChange);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 2);
  }
  {
    // Every level prints its summaries, then a form feed, then its children.
    run_result r = run({"-r", "-l", "a", "b"});
    const std::string top = "Only in b:\n\ttop\n\nCommon subdirectories of a and b:\n\td1\n\f";
    const std::string middle = "Common subdirectories of a/d1 and b/d1:\n\td2\n\f";
    ASSERT_EQ(r.out.substr(0, top.size() + middle.size()), top + middle) << r.out;
    const std::string rest = r.out.substr(top.size() + middle.size());
    EXPECT_NE(rest.find("varn -r -l a/d1/d2/x b/d1/d2/x"), std::string::npos) << rest;
    EXPECT_NE(rest.find(kChange), std::string::npos) << rest;
    const std::string bottom = "Only in a/d1/d2:\n\tq\n\f";
    ASSERT_GE(rest.size(), bottom.size());
    EXPECT_EQ(rest.substr(rest.size() - bottom.size()), bottom) << rest;
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 2);
  }
}

TEST_F(DirectoryMode, NoFormFeedWithoutSummaries) {
  dir("a/d");
  dir("b/d");
  file("a/d/same", "same\n");
  file("b/d/same", "same\n");
  run_result r = run({"-r", "-l", "a", "b"});
  EXPECT_EQ(r.out, "Common subdirectories of a and b:\n\td\n\f");
  r = run({"-r", "-f", "a", "b"});
  EXPECT_EQ(r.out, "Common subdirectories: a/d and b/d\n");
}

TEST_F(DirectoryMode, SubdirectoryOnOneSideIsNotEntered) {
  dir("a/d");
  dir("a/d/inner");
  file("a/d/x", kOld);
  run_result r = run({"-r", "a", "b"});
  EXPECT_EQ(r.out, "Only in a: d\n");
  EXPECT_EQ(r.status, 2);
}

TEST_F(DirectoryMode, StartNameAppliesToTheTopLevelOnly) {
  file("a/Zebra", "z\n");
  file("a/lemon", "l\n");
  file("b/lemon", "other\n");
  file("a/m", "m\n");
  file("b/mango", "m\n");
  dir("a/sub");
  dir("b/sub");
  file("a/sub/apple", "a\n");
  {
    run_result r = run({"-Sm", "a", "b"});
    EXPECT_EQ(r.out, "Only in a: m\nOnly in b: mango\nCommon subdirectories: a/sub and b/sub\n");
    EXPECT_EQ(r.status, 2);
  }
  {
    // The child for sub gets -r but not the start name: apple is reported.
    run_result r = run({"-r", "-Sm", "a", "b"});
    EXPECT_EQ(r.out,
              "Only in a: m\nOnly in b: mango\nCommon subdirectories: a/sub and b/sub\n"
              "Only in a/sub: apple\n");
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.status, 2);
  }
  {
    run_result r = run({"-rlSm", "a", "b"});
    EXPECT_EQ(r.out,
              "Only in a:\n\tm\n\nOnly in b:\n\tmango\n\nCommon subdirectories of a and b:\n\tsub\n"
              "\fOnly in a/sub:\n\tapple\n\f");
  }
}

TEST_F(DirectoryMode, RefusalsAndWarnings) {
  differing_pair("x");
  {
    run_result r = run({"-DX", "a", "b"});
    EXPECT_EQ(r.err, "varn: can't specify -I with directories\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 2);
  }
  for (const char* option : {"-s", "-l"}) {
    run_result r = run({"-e", option, "a", "b"});
    EXPECT_EQ(r.err, "varn: warning: shouldn't give -s or -l with -e\n") << option;
    EXPECT_EQ(r.status, 2);
  }
  {
    // -e with -l behaves as -l: the pair is paged, no here-document.
    run_result r = run({"-e", "-l", "a", "b"});
    EXPECT_NE(r.out.find("varn -e -l a/x b/x"), std::string::npos) << r.out;
    EXPECT_EQ(r.out.find("ed - "), std::string::npos) << r.out;
  }
  {
    run_result r = run({"a", "missing"});
    EXPECT_EQ(r.err, "varn: missing: " + error_text(ENOENT) + "\n");
    EXPECT_EQ(r.status, 2);
  }
}

TEST_F(DirectoryMode, EntriesThatCannotBeOpenedAreReportedAndTheWalkGoesOn) {
  link("nowhere", "a/gone");
  file("b/gone", "here\n");
  file("a/lost", "here\n");
  link("nowhere", "b/lost");
  differing_pair("x");
  run_result r = run({"-l", "-s", "a", "b"});
  EXPECT_EQ(r.err, "a/gone: " + error_text(ENOENT) + "\nb/lost: " + error_text(ENOENT) + "\n");
  EXPECT_NE(r.out.find("varn -l -s a/x b/x"), std::string::npos) << r.out;
  EXPECT_EQ(r.out.find("gone"), std::string::npos) << "no summary names it: " << r.out;
  EXPECT_EQ(r.status, 2);
}

TEST_F(DirectoryMode, SymbolicLinkLoopsEndWithMessages) {
  link(".", "a/loop");
  link(".", "b/loop");
  link("self", "a/self");
  link("self", "b/self");
  run_request request;
  request.path = ovarn_path();
  request.argv = {"ovarn", "-r", "a", "b"};
  request.cwd = root.path();
  request.timeout_seconds = 120;
  run_result r = run_program(request);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("a/self: " + error_text(ELOOP) + "\n"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("a/loop/self: " + error_text(ELOOP) + "\n"), std::string::npos);
  // The walk into loop/loop/... ends where the system stops following links.
  EXPECT_NE(r.err.find("/loop/loop: " + error_text(ELOOP) + "\n"), std::string::npos) << r.err;
  EXPECT_EQ(r.out.rfind("Common subdirectories: a/loop and b/loop\n", 0), 0u) << r.out;
}

TEST_F(DirectoryMode, FifosDoNotHoldUpTheWalk) {
  ASSERT_EQ(mkfifo(at("a/pipe").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo(at("b/pipe").c_str(), 0600), 0);
  run_request request;
  request.path = ovarn_path();
  request.argv = {"ovarn", "-s", "a", "b"};
  request.cwd = root.path();
  request.timeout_seconds = 20;
  run_result r = run_program(request);
  ASSERT_FALSE(r.timed_out);
  EXPECT_EQ(r.out, "Files a/pipe and b/pipe are identical\n");
  EXPECT_EQ(r.status, 2);
}

TEST_F(DirectoryMode, DeviceFilesCompareByTheDeviceTheyStandFor) {
  if (mknod(at("a/null").c_str(), S_IFCHR | 0600, makedev(1, 3)) != 0) {
    GTEST_SKIP() << "device files cannot be made here";
  }
  ASSERT_EQ(mknod(at("b/null").c_str(), S_IFCHR | 0600, makedev(1, 3)), 0);
  const int fd = open(at("a/null").c_str(), O_RDONLY);
  if (fd < 0) GTEST_SKIP() << "device files cannot be opened on this file system";
  close(fd);
  run_result r = run({"-s", "a", "b"});
  EXPECT_EQ(r.out, "Files a/null and b/null are identical\n");
  EXPECT_EQ(r.status, 2);
}

TEST_F(DirectoryMode, PathsTooLongForTheBufferAreReported) {
  // A directory whose path takes 1000 bytes from the temp root: entries with
  // long names no longer fit a 1024-byte path buffer.
  std::string deep = "a";
  std::string deep_b = "b";
  while (deep.size() < 1000) {
    const std::string part = "/" + std::string(std::min<size_t>(200, 1000 - deep.size() - 1), 'd');
    deep += part;
    deep_b += part;
    dir(deep);
    dir(deep_b);
  }
  const std::string long_name(40, 'n');
  file(deep + "/" + long_name, "one\n");
  file(deep_b + "/" + long_name, "two\n");
  file(deep + "/s", "same\n");
  file(deep_b + "/s", "same\n");
  {
    run_result r = run({"-s", deep, deep_b});
    EXPECT_EQ(r.err, deep + "/" + long_name + ": " + error_text(ENAMETOOLONG) + "\n");
    EXPECT_EQ(r.out, "Files " + deep + "/s and " + deep_b + "/s are identical\n");
    EXPECT_EQ(r.status, 2);
  }
  {
    // An operand that cannot take "/" and a name at all.
    const std::string too_long = deep + "/" + std::string(100, 'e');
    dir(too_long);
    dir(deep_b + "/" + std::string(100, 'e'));
    run_result r = run({too_long, deep_b + "/" + std::string(100, 'e')});
    EXPECT_EQ(r.err, "varn: " + too_long + ": " + error_text(ENAMETOOLONG) + "\n");
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.status, 2);
  }
}

// The -e output, run through sh inside a copy of the first directory, turns
// every differing text file into its counterpart in the second.
TEST_F(DirectoryMode, EditScriptHereDocumentsRebuildTheSecondDirectory) {
  const std::vector<std::string> names = {"plain", "two words", "it's", "-dash", "$HOME",
                                          "back\\slash", "semi;colon"};
  for (size_t i = 0; i < names.size(); ++i) {
    const std::string n = std::to_string(i);
    file("a/" + names[i], "first " + n + "\nkeep\nthird " + n + "\nlast\n");
    file("b/" + names[i], "keep\nthird " + n + " changed\nadded\nlast\nnew end\n");
  }
  file("a/same", "same\n");
  file("b/same", "same\n");
  file("b/new only", "new\n");
  run_result listing = run({"-e", "a", "b"});
  ASSERT_EQ(listing.status, 2);
  ASSERT_EQ(listing.err, "");
  EXPECT_NE(listing.out.find("ed - ./-dash << '-*-END-*-'\n"), std::string::npos) << listing.out;
  EXPECT_NE(listing.out.find("ed - plain << '-*-END-*-'\n"), std::string::npos);
  EXPECT_NE(listing.out.find("ed - 'two words' << '-*-END-*-'\n"), std::string::npos);

  std::filesystem::copy(at("a"), at("c"));
  run_request shell;
  shell.path = "/bin/sh";
  shell.argv = {"sh"};
  shell.input = listing.out;
  shell.cwd = at("c");
  run_result applied = run_program(shell);
  EXPECT_EQ(applied.status, 0) << applied.err;
  for (const std::string& name : names) {
    EXPECT_EQ(read_file(at("c/" + name)), read_file(at("b/" + name))) << name;
  }
  EXPECT_EQ(read_file(at("c/same")), "same\n");
}

TEST_F(DirectoryMode, EditHeadingNamesTheEntryInSubdirectoryRuns) {
  dir("a/d");
  dir("b/d");
  differing_pair("d/x");
  run_result r = run({"-r", "-e", "a", "b"});
  EXPECT_EQ(r.out, "ed - x << '-*-END-*-'\n2c\nx\n.\nw\nq\n-*-END-*-\n");
  EXPECT_EQ(r.status, 2);
}

// Builds whose fixed paths name nothing: the walk goes on past every child
// run that cannot start.
TEST_F(DirectoryMode, MissingProgramAndPagerAreReportedAndTheWalkGoesOn) {
  differing_pair("x");
  file("a/y", "only\n");
  run_request req;
  req.path = variant_path("ovarn_without_helpers");
  req.argv = {"ovarn", "a", "b"};
  req.cwd = root.path();
  run_result r = run_program(req);
  EXPECT_EQ(r.out, "varn a/x b/x\nOnly in a: y\n");
  EXPECT_EQ(r.err, "/nonexistent/bin/ovarn: " + error_text(ENOENT) + "\n");
  EXPECT_EQ(r.status, 2);

  req.path = variant_path("ovarn_without_pager");
  req.argv = {"ovarn", "-l", "a", "b"};
  r = run_program(req);
  EXPECT_EQ(r.out, "Only in a:\n\ty\n");
  EXPECT_EQ(r.err, "/nonexistent/bin/pr: " + error_text(ENOENT) + "\n");
  EXPECT_EQ(r.status, 2);
}

}  // namespace
