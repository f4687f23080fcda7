#include "dircmp/read_directory.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"


namespace {

std::vector<std::string> listing_names(const dir_listing& owned) {
  const dir_entry* listing = owned.get();
  std::vector<std::string> names;
  for (; listing->name != nullptr; ++listing) {
    EXPECT_EQ(listing->flags, 0u) << listing->name;
    names.emplace_back(listing->name);
  }
  return names;
}

TEST(ReadDirectory, ListsEveryNameInByteOrder) {
  temp_dir dir;
  for (const char* name : {"Zeta", "alpha", "a.c", "a_c", "a", "\xe9t\xe9", "...", ".x"}) {
    write_file(dir / name, "x\n");
  }
  const std::vector<std::string> expected = {".",   "..",  "...", ".x",    "Zeta",
                                             "a",   "a.c", "a_c", "alpha", "\xe9t\xe9"};
  EXPECT_EQ(listing_names(read_directory(dir.path().c_str())), expected);
}

TEST(ReadDirectory, EmptyDirectoryHoldsDotAndDotDot) {
  temp_dir dir;
  const std::vector<std::string> expected = {".", ".."};
  EXPECT_EQ(listing_names(read_directory(dir.path().c_str())), expected);
}

TEST(ReadDirectoryDeathTest, MissingDirectoryEndsTheRun) {
  const std::string message = std::string("varn: /nonexistent-ovarn-dir/: ") + strerror(ENOENT);
  EXPECT_EXIT(read_directory("/nonexistent-ovarn-dir/"), testing::ExitedWithCode(2),
              message);
}

TEST(CompareEntryNames, OrdersByStrcmp) {
  char a[] = "a";
  char b[] = "b";
  const dir_entry first{0, a};
  const dir_entry second{0, b};
  EXPECT_LT(compare_entry_names(&first, &second), 0);
  EXPECT_GT(compare_entry_names(&second, &first), 0);
  EXPECT_EQ(compare_entry_names(&first, &first), 0);
}

TEST(SkipEntryName, FollowsDotsAndStartName) {
  struct skip_case {
    const char* start_name;
    const char* name;
    bool skipped;
  };
  const skip_case cases[] = {
      {nullptr, ".", true},       {nullptr, "..", true},   {nullptr, "...", false},
      {nullptr, ".x", false},     {nullptr, ".profile", false}, {nullptr, "a", false},
      {"m", ".", true},           {"m", "..", true},       {"m", "lemon", true},
      {"m", "Zebra", true},       {"m", "m", false},       {"m", "mango", false},
      {"m", "zoo", false},
  };
  for (const skip_case& c : cases) {
    EXPECT_EQ(skip_entry_name(c.name, c.start_name), c.skipped)
        << "start " << (c.start_name ? c.start_name : "(none)") << " name " << c.name;
  }
}

TEST(MakeDirPath, AppendsSlashAndKeepsTheDirectoryPrintable) {
  struct path_case {
    const char* operand;
    const char* buffer;
  };
  for (const path_case& c : {path_case{"a", "a/"}, path_case{"a/", "a//"},
                             path_case{"/tmp/x y", "/tmp/x y/"}}) {
    const dir_path dir = make_dir_path(c.operand);
    EXPECT_STREQ(dir.buffer, c.buffer);
    EXPECT_EQ(dir.end, dir.buffer + strlen(c.buffer));
    // The directory prints as everything before the appended "/".
    EXPECT_EQ(std::string(dir.buffer, dir.end - dir.buffer - 1), c.operand);
    free(dir.buffer);
  }
}

TEST(MakeDirPath, LongestFittingOperand) {
  const std::string operand(kDirPathSize - 2, 'd');
  const dir_path dir = make_dir_path(operand.c_str());
  EXPECT_EQ(strlen(dir.buffer), static_cast<size_t>(kDirPathSize - 1));
  free(dir.buffer);
}

TEST(MakeDirPathDeathTest, OperandTooLongEndsTheRun) {
  const std::string operand(kDirPathSize - 1, 'd');
  EXPECT_EXIT(make_dir_path(operand.c_str()), testing::ExitedWithCode(2),
              "varn: " + operand + ": " + strerror(ENAMETOOLONG) + "\n");
}

TEST(EntryPathFits, CountsTheTerminator) {
  const std::string operand(kDirPathSize - 4, 'd');  // buffer holds 1021 bytes
  const dir_path dir = make_dir_path(operand.c_str());
  EXPECT_TRUE(entry_path_fits(dir, "ab"));
  EXPECT_FALSE(entry_path_fits(dir, "abc"));
  free(dir.buffer);
}

TEST(ReportLongEntryPath, NamesDirectoryAndEntryOnly) {
  const dir_path dir = make_dir_path("a");
  strcpy(dir.end, "earlier");
  testing::internal::CaptureStderr();
  report_long_entry_path(dir, "name");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            std::string("a/name: ") + strerror(ENAMETOOLONG) + "\n");
  free(dir.buffer);
}

}  // namespace
