#include "helper/open_operand.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tests/support/temp_dir.h"

namespace {

TEST(LastComponent, IsTheTextAfterTheLastMeaningfulSlash) {
  struct {
    const char* path;
    const char* component;
  } const cases[] = {
      {"y", "y"},        {"x/y", "y"},     {"/a/b/y", "y"}, {"x/y/", "y/"},
      {"x/y//", "y//"},  {"-", "-"},       {"/", "/"},      {"//", "//"},
      {"x//y", "y"},     {"/y", "y"},      {"", ""},
  };
  for (const auto& c : cases) EXPECT_STREQ(last_component(c.path), c.component) << c.path;
}

// A directory under /tmp holding the entry "y", removed afterwards.
class OpenOperand : public testing::Test {
 protected:
  void SetUp() override { write_file(scratch_ / "y", "inside\n"); }
  std::string first_line_of(line_window& w) {
    char buf[kLineLimit + 1];
    const std::size_t n = read_source_line(w.source, buf, kLineLimit);
    return std::string(buf, n);
  }
  temp_dir scratch_;
  const std::string dir_ = scratch_.path();
};

TEST_F(OpenOperand, DashIsStandardInput) {
  line_window w;
  ASSERT_TRUE(open_operand(w, "-", dir_.c_str()));
  EXPECT_EQ(w.source.fd, STDIN_FILENO);
  EXPECT_FALSE(w.source.owns_fd);  // standard input stays open
}

TEST_F(OpenOperand, DirectoryStandsForTheEntryNamedAfterTheOtherOperand) {
  line_window w;
  ASSERT_TRUE(open_operand(w, dir_.c_str(), "x/y"));
  EXPECT_EQ(std::string(w.name), dir_ + "/y");
  EXPECT_EQ(first_line_of(w), "inside\n");
}

TEST_F(OpenOperand, PlainFileIsOpenedAsItIs) {
  line_window w;
  const std::string path = dir_ + "/y";
  ASSERT_TRUE(open_operand(w, path.c_str(), "other"));
  EXPECT_EQ(first_line_of(w), "inside\n");
}

// The message that open_operand writes on path and other, or "<opened>".
std::string failure_of(const std::string& path, const std::string& other) {
  line_window w;
  testing::internal::CaptureStderr();
  const bool opened = open_operand(w, path.c_str(), other.c_str());
  const std::string message = testing::internal::GetCapturedStderr();
  return opened ? "<opened>" : message;
}

TEST_F(OpenOperand, FailuresName) {
  const std::string missing = dir_ + "/m";
  EXPECT_EQ(failure_of(missing, "x"), "varnh: can't access " + missing + "\n");
  EXPECT_EQ(failure_of(dir_, "x/z"), "varnh: can't open" + dir_ + "/z\n");
  EXPECT_EQ(failure_of(dir_, "-"), "varnh: can't open" + dir_ + "/-\n");
}

TEST_F(OpenOperand, JoinedPathMustFitItsBuffer) {
  // dir_ + "/" + name, with the terminator, is exactly kJoinedPathBytes.
  const std::string fits(kJoinedPathBytes - 2 - dir_.size(), 'n');
  const std::string fits_path = dir_ + "/" + fits;
  std::fclose(std::fopen(fits_path.c_str(), "w"));
  {
    line_window w;
    ASSERT_TRUE(open_operand(w, dir_.c_str(), fits.c_str()));
    EXPECT_EQ(std::string(w.name), fits_path);
  }
  unlink(fits_path.c_str());

  const std::string too_long = fits + "n";
  EXPECT_EQ(failure_of(dir_, too_long), "varnh: can't open" + dir_ + "/" + too_long + "\n");
}

}  // namespace
