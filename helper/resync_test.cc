#include "helper/resync.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

TEST(LinesEqual, ComparesBytesOrRunsOfWhiteSpace) {
  struct {
    std::string_view x;
    std::string_view y;
    bool exact;   // without -b
    bool blanks;  // under -b
  } const cases[] = {
      {"a b\n", "a b\n", true, true},
      {"a  b\n", "a b\n", false, true},
      {"a\tb\n", "a   b\n", false, true},
      {"a b  \n", "a b\n", false, true},   // blanks before the newline
      {"a b\n", "a b  \n", false, true},
      {" a\n", "a\n", false, false},       // a leading blank is not ignored
      {"ab\n", "a b\n", false, false},     // white space on one side only
      {"a \n", "a", false, false},         // the newline is not the end
      {"a", "a", true, true},
      {"", "", true, true},
      {"a\n", "b\n", false, false},
      {"a\r\n", "a\n", false, true},
      {"a\v\f\n", "a \n", false, true},
      {"a\xa0\n", "a \n", false, false},   // 0x80 and up is never white space
      {"abc\n", "ab\n", false, false},
      {std::string_view("a\0b\n", 4), std::string_view("a\0c\n", 4), false, false},
      {std::string_view("a\0 b\n", 5), std::string_view("a\0b\n", 4), false, false},
      {std::string_view("a\0  b\n", 6), std::string_view("a\0 b\n", 5), false, true},
  };
  helper_state exact;
  helper_state blanks;
  blanks.blank_runs = 2;
  for (const auto& c : cases) {
    EXPECT_EQ(lines_equal(exact, c.x, c.y), c.exact) << c.x << "|" << c.y;
    EXPECT_EQ(lines_equal(blanks, c.x, c.y), c.blanks) << c.x << "|" << c.y;
    EXPECT_EQ(lines_equal(blanks, c.y, c.x), c.blanks) << c.y << "|" << c.x;
  }
}

TEST(PrintWindowRange, PrintsOneLineARangeOrToTheEnd) {
  struct {
    std::int64_t x;
    std::int32_t n;
    const char* printed;
  } const cases[] = {
      {7, 0, "7"},
      {7, 2, "7,9"},
      {7, TO_END, "7,$"},
      {5000000000, 26, "5000000000,5000000026"},
  };
  for (const auto& c : cases) {
    testing::internal::CaptureStdout();
    print_window_range(c.x, c.n);
    std::fflush(stdout);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.printed);
  }
}

}  // namespace
