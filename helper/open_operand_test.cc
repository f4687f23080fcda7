#include "helper/open_operand.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

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
class OpenOperandTest : public testing::Test {
 protected:
  void SetUp() override {
    char name[] = "/tmp/ovarnh_unit_XXXXXX";
    ASSERT_NE(mkdtemp(name), nullptr);
    dir_ = name;
    std::FILE* f = std::fopen((dir_ + "/y").c_str(), "w");
    std::fputs("inside\n", f);
    std::fclose(f);
  }
  void TearDown() override {
    unlink((dir_ + "/y").c_str());
    rmdir(dir_.c_str());
  }
  std::string first_line_of(line_window& w) {
    char buf[LINE_LIMIT + 1];
    const std::size_t n = read_source_line(w.source, buf, LINE_LIMIT);
    close(w.source.fd);
    return std::string(buf, n);
  }
  std::string dir_;
};

TEST_F(OpenOperandTest, DashIsStandardInput) {
  line_window w;
  open_operand(w, "-", dir_.c_str());
  EXPECT_EQ(w.source.fd, STDIN_FILENO);
}

TEST_F(OpenOperandTest, DirectoryStandsForTheEntryNamedAfterTheOtherOperand) {
  line_window w;
  open_operand(w, dir_.c_str(), "x/y");
  EXPECT_EQ(std::string(w.name), dir_ + "/y");
  EXPECT_EQ(first_line_of(w), "inside\n");
}

TEST_F(OpenOperandTest, PlainFileIsOpenedAsItIs) {
  line_window w;
  const std::string path = dir_ + "/y";
  open_operand(w, path.c_str(), "other");
  EXPECT_EQ(first_line_of(w), "inside\n");
}

TEST_F(OpenOperandTest, FailuresName) {
  line_window w;
  const std::string missing = dir_ + "/m";
  EXPECT_EXIT(open_operand(w, missing.c_str(), "x"), testing::ExitedWithCode(2),
              "^varnh: can't access " + missing + "\n$");
  EXPECT_EXIT(open_operand(w, dir_.c_str(), "x/z"), testing::ExitedWithCode(2),
              "^varnh: can't open" + dir_ + "/z\n$");
  EXPECT_EXIT(open_operand(w, dir_.c_str(), "-"), testing::ExitedWithCode(2),
              "^varnh: can't open" + dir_ + "/-\n$");
}

TEST_F(OpenOperandTest, JoinedPathMustFitItsBuffer) {
  // dir_ + "/" + name, with the terminator, is exactly JOINED_PATH_BYTES.
  const std::string fits(JOINED_PATH_BYTES - 2 - dir_.size(), 'n');
  const std::string fits_path = dir_ + "/" + fits;
  std::fclose(std::fopen(fits_path.c_str(), "w"));
  line_window w;
  open_operand(w, dir_.c_str(), fits.c_str());
  EXPECT_EQ(std::string(w.name), fits_path);
  close(w.source.fd);
  unlink(fits_path.c_str());

  const std::string too_long = fits + "n";
  EXPECT_EXIT(open_operand(w, dir_.c_str(), too_long.c_str()), testing::ExitedWithCode(2),
              "^varnh: can't open" + dir_ + "/" + too_long + "\n$");
}

}  // namespace
