#include "helper/line_window.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A window over an unnamed temporary file holding content; the file goes
// when the stream is closed.
struct window_fixture {
  std::FILE* file;
  helper_state state;
  explicit window_fixture(const std::string& content) : file(std::tmpfile()) {
    std::fwrite(content.data(), 1, content.size(), file);
    std::fflush(file);
    lseek(fileno(file), 0, SEEK_SET);
    state.windows[0].source.fd = fileno(file);
  }
  ~window_fixture() { std::fclose(file); }
  std::string line(std::int64_t n) {
    std::string_view text;
    if (!get_line(state, 0, n, text)) return "<failed>";
    return text.empty() ? "<none>" : std::string(text);
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
      {std::string("n\0l\n\0", 5), {std::string("n\0l\n", 4), std::string(1, '\0')}},
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
  char* const slot0 = w.state.windows[0].slots[0].get();
  drop_lines(w.state, 0, 2);
  EXPECT_EQ(w.state.windows[0].first_line, 3);
  EXPECT_EQ(w.state.windows[0].stored_count, 2);
  EXPECT_EQ(w.state.windows[0].slots[0].get(), slot0);  // buffers stay in place
  EXPECT_EQ(w.line(3), "c\n");
  EXPECT_EQ(w.line(4), "d\n");
  EXPECT_EQ(w.line(5), "<none>");
}

TEST(GetLine, HoldsAFullWindowOfLines) {
  std::string content;
  for (int i = 1; i <= 40; ++i) content += std::to_string(i) + "\n";
  window_fixture w(content);
  for (int n = 1; n <= kWindowLines; ++n) EXPECT_EQ(w.line(n), std::to_string(n) + "\n");
  drop_lines(w.state, 0, 29);
  EXPECT_EQ(w.line(30), "30\n");
  EXPECT_EQ(w.line(31), "31\n");
}

TEST(GetLine, GuardsAgainstMisuse) {
  std::string content;
  for (int i = 1; i <= 40; ++i) content += "x\n";
  std::vector<std::int64_t> past_the_window;
  for (int n = 1; n <= kWindowLines + 1; ++n) past_the_window.push_back(n);
  struct {
    std::vector<std::int64_t> asked;  // a line number, or -n to drop through n
    const char* message;
  } const cases[] = {
      {{1, -1, 1}, "varnh: program error 1\n"},
      {{2}, "varnh: program error 2\n"},
      {past_the_window, "varnh: program error 3\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    window_fixture w(content);
    testing::internal::CaptureStderr();
    std::string last;
    for (const std::int64_t n : c.asked) {
      if (n < 0) {
        drop_lines(w.state, 0, -n);
      } else {
        last = w.line(n);
      }
    }
    EXPECT_EQ(testing::internal::GetCapturedStderr(), c.message);
    EXPECT_EQ(last, "<failed>");
  }
}

TEST(GetLine, ReadsAcrossBlockBoundaries) {
  // Lines of 1 to 600 bytes, well past one read block.
  std::string content;
  for (int i = 0; content.size() < 3 * sizeof(line_source::block); ++i) {
    content += std::string(1 + (i * 37) % 600, static_cast<char>('a' + i % 26)) + "\n";
  }
  window_fixture w(content);
  std::string joined;
  for (std::int64_t n = 1;; ++n) {
    const std::string line = w.line(n);
    if (line == "<none>") break;
    ASSERT_TRUE(line.back() == '\n' || line.size() == kLineLimit - 1) << n;
    ASSERT_LE(line.size(), static_cast<std::size_t>(kLineLimit - 1));
    joined += line;
    drop_lines(w.state, 0, n);
  }
  EXPECT_TRUE(joined == content);
}

TEST(GetLine, ReadErrorIsNotTheEndOfTheFile) {
  helper_state state;
  state.windows[0].source.fd = open("/", O_RDONLY);
  state.windows[0].source.owns_fd = true;
  state.windows[0].name = "/";
  testing::internal::CaptureStderr();
  std::string_view text;
  EXPECT_FALSE(get_line(state, 0, 1, text));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "varnh: /: " + std::string(strerror(EISDIR)) + "\n");
}

TEST(HelperFail, WritesTextAndDetail) {
  testing::internal::CaptureStderr();
  EXPECT_FALSE(helper_fail("can't open", "d/y"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "varnh: can't opend/y\n");
}

}  // namespace
