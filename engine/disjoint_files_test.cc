#include "engine/disjoint_files.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/engine_test_files.h"
#include "engine/line_table.h"
#include "base/table.h"

namespace {

class disjoint_files_test : public engine_test {
 protected:
  bool share_no_line(const std::string& old_text, const std::string& new_text) {
    load_pair(old_text, new_text);
    return files_share_no_line(rules, old_path_.c_str(), new_path_.c_str(), tables);
  }
};

// Lines of n letters from the given alphabet, numbered so that they differ.
std::string numbered_lines(char first_letter, int count, size_t length = 12) {
  std::string text;
  for (int n = 0; n < count; ++n) {
    std::string line(length, first_letter);
    for (int v = n, at = 0; v > 0 && at < static_cast<int>(length); v /= 10, ++at)
      line[at] = static_cast<char>(first_letter + v % 10);
    text += line + "\n";
  }
  return text;
}

using DisjointFiles = disjoint_files_test;

TEST_F(DisjointFiles, AnswersOnlyWhenNoLineIsShared) {
  // Sixteen NULs bring the shift back to 0: "\x02" and sixteen NULs and
  // "\x02" hash alike without being equal.
  const std::string collision = std::string(16, '\0') + "\x02";
  struct share_case {
    const char* name;
    std::string old_text, new_text;
    bool none_shared;
  };
  const std::string lower = numbered_lines('a', 3000);
  const std::string upper = numbered_lines('A', 3000);
  const share_case cases[] = {
      {"different letters", lower, upper, true},
      {"one shared line inside", lower + "shared\n" + lower, upper + "shared\n" + upper, false},
      {"lines that only hash alike", "a\n\x02\nz\n", "b\n" + collision + "\ny\n", true},
      {"the same line without its newline", "a\nq\nb\n", "c\nd\nq", true},
      {"a line and its carriage-return twin", "a\nq\nb\n", "c\nq\r\nd\n", true},
      {"empty lines on both sides", "a\n\nb\n", "c\n\nd\n", false},
      {"first lines alike", "same\nb\n", "same\nc\n", false},
      {"last lines alike", "a\nsame\n", "b\nsame\n", false},
      {"empty old file", "", "a\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(share_no_line(c.old_text, c.new_text), c.none_shared);
  }
}

TEST_F(DisjointFiles, ASharedLineAcrossAReadBlockIsFound) {
  // The shared line is read in one block of one file and across two blocks
  // of the other; long shared lines go over whole blocks.
  const std::string shared = std::string(300, 's') + "\n";
  const std::string huge = std::string(200000, 'h') + "\n";
  for (size_t before : {65536 - 150, 65536 - 1, 65536 + 7}) {
    SCOPED_TRACE(before);
    std::string old_text = std::string(before - 1, 'o') + "\n" + shared + "o\n";
    std::string new_text = "n\n" + shared + "n\n";
    EXPECT_FALSE(share_no_line(old_text, new_text));
    EXPECT_FALSE(share_no_line("o\n" + huge + "o\n", std::string(before - 1, 'n') + "\n" + huge + "n\n"));
  }
}

TEST_F(DisjointFiles, ManyLinesThatPassTheFilter) {
  // Thousands of shared lines among many that are not: the answer is no at
  // once, however the shared lines are spread.
  std::string old_text = "first old\n" + numbered_lines('a', 20000) + "last old\n";
  std::string new_text = "first new\n" + numbered_lines('A', 20000) + numbered_lines('a', 5000) + "last new\n";
  EXPECT_FALSE(share_no_line(old_text, new_text));
  EXPECT_FALSE(share_no_line(new_text, old_text));
}

TEST_F(DisjointFiles, NotUnderOptionsThatLetUnequalLinesAgree) {
  const std::string lower = numbered_lines('a', 100);
  const std::string upper = numbered_lines('A', 100);
  for (int modes = 1; modes < 8; ++modes) {
    SCOPED_TRACE(modes);
    set_modes(modes & 1, modes & 2, modes & 4);
    EXPECT_FALSE(share_no_line(lower, upper));
  }
}

}  // namespace
