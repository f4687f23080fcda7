#include "helper/line_window.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

// A window over an unnamed temporary file holding content; the file goes
// when the stream is closed.
struct window_fixture {
  helper_state state;
  explicit window_fixture(const std::string& content) {
    std::FILE* f = std::tmpfile();
    std::fwrite(content.data(), 1, content.size(), f);
    std::rewind(f);
    state.windows[0].source = f;
  }
  ~window_fixture() { std::fclose(state.windows[0].source); }
  std::string line(std::int64_t n) {
    const char* text = get_line(state, 0, n);
    return text == nullptr ? "<none>" : text;
  }
};

TEST(GetLine, EmptyFileGivesNothing) {
  window_fixture w("");
  EXPECT_EQ(w.line(1), "<none>");
  EXPECT_EQ(w.state.windows[0].stored_count, 0);
}

TEST(GetLine, SplitsLongLinesAtTheSlotLimit) {
  const std::string a254(253, 'a');
  struct {
    std::string content;
    std::vector<std::string> lines;
  } const cases[] = {
      {"x\ny\n", {"x\n", "y\n"}},
      {"x\ny", {"x\n", "y"}},
      {a254 + "\n", {a254 + "\n"}},                                  // 254 bytes
      {a254 + "b\n", {a254 + "b", "\n"}},                            // 255 bytes
      {std::string(599, 'c') + "\n",                                 // 600 bytes
       {std::string(254, 'c'), std::string(254, 'c'), std::string(91, 'c') + "\n"}},
  };
  for (const auto& c : cases) {
    window_fixture w(c.content);
    std::int64_t n = 1;
    for (const auto& expected : c.lines) {
      EXPECT_EQ(w.line(n), expected);
      drop_lines(w.state, 0, n);
      ++n;
    }
    EXPECT_EQ(w.line(n), "<none>");
  }
}

TEST(GetLine, HeldLinesComeFromTheWindow) {
  window_fixture w("a\nb\nc\n");
  EXPECT_EQ(w.line(1), "a\n");
  EXPECT_EQ(w.line(2), "b\n");
  EXPECT_EQ(w.line(1), "a\n");
  EXPECT_EQ(w.state.windows[0].stored_count, 2);
}

TEST(DropLines, MovesTheRemainingTextsDown) {
  window_fixture w("a\nb\nc\nd\n");
  for (int n = 1; n <= 4; ++n) w.line(n);
  char* const slot0 = w.state.windows[0].slots[0];
  drop_lines(w.state, 0, 2);
  EXPECT_EQ(w.state.windows[0].first_line, 3);
  EXPECT_EQ(w.state.windows[0].stored_count, 2);
  EXPECT_EQ(w.state.windows[0].slots[0], slot0);  // buffers stay in place
  EXPECT_EQ(w.line(3), "c\n");
  EXPECT_EQ(w.line(4), "d\n");
  EXPECT_EQ(w.line(5), "<none>");
}

TEST(GetLine, HoldsAFullWindowOfLines) {
  std::string content;
  for (int i = 1; i <= 40; ++i) content += std::to_string(i) + "\n";
  window_fixture w(content);
  for (int n = 1; n <= WINDOW_LINES; ++n) EXPECT_EQ(w.line(n), std::to_string(n) + "\n");
  drop_lines(w.state, 0, 29);
  EXPECT_EQ(w.line(30), "30\n");
  EXPECT_EQ(w.line(31), "31\n");
}

TEST(GetLineDeathTest, GuardsAgainstMisuse) {
  std::string content;
  for (int i = 1; i <= 40; ++i) content += "x\n";
  EXPECT_EXIT(
      {
        window_fixture w(content);
        w.line(1);
        drop_lines(w.state, 0, 1);
        w.line(1);
      },
      testing::ExitedWithCode(2), "^varnh: program error 1\n$");
  EXPECT_EXIT(
      {
        window_fixture w(content);
        w.line(2);
      },
      testing::ExitedWithCode(2), "^varnh: program error 2\n$");
  EXPECT_EXIT(
      {
        window_fixture w(content);
        for (int n = 1; n <= WINDOW_LINES + 1; ++n) w.line(n);
      },
      testing::ExitedWithCode(2), "^varnh: program error 3\n$");
}

TEST(GetLineDeathTest, ReadErrorIsNotTheEndOfTheFile) {
  EXPECT_EXIT(
      {
        helper_state state;
        state.windows[0].source = std::fopen("/", "r");
        state.windows[0].name = "/";
        get_line(state, 0, 1);
        std::exit(0);
      },
      testing::ExitedWithCode(2), "^varnh: can't read /\n$");
}

TEST(HelperFailDeathTest, WritesTextAndDetail) {
  EXPECT_EXIT(helper_fail("can't open", "d/y"), testing::ExitedWithCode(2), "^varnh: can't opend/y\n$");
}

}  // namespace
