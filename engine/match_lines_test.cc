#include "engine/match_lines.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "engine/engine_test_files.h"
#include "engine/line_table.h"

namespace {

using MatchLines = engine_test;

// Length of a longest common subsequence, by the plain table.
size_t lcs_length(const std::vector<std::string>& a, const std::vector<std::string>& b) {
  std::vector<std::vector<size_t>> t(a.size() + 1, std::vector<size_t>(b.size() + 1, 0));
  for (size_t i = 1; i <= a.size(); ++i) {
    for (size_t j = 1; j <= b.size(); ++j)
      t[i][j] = a[i - 1] == b[j - 1] ? t[i - 1][j - 1] + 1 : std::max(t[i - 1][j], t[i][j - 1]);
  }
  return t[a.size()][b.size()];
}

std::vector<std::string> random_lines(std::mt19937& rng, int alphabet) {
  std::uniform_int_distribution<int> length(0, 12);
  std::uniform_int_distribution<int> letter(0, alphabet - 1);
  std::vector<std::string> lines(length(rng));
  for (auto& line : lines) line = std::string(1, static_cast<char>('a' + letter(rng)));
  return lines;
}

TEST_F(MatchLines, PairsALongestCommonSubsequence) {
  std::mt19937 rng(20240613);
  for (int round = 0; round < 400; ++round) {
    int alphabet = 2 + round % 5;
    auto old_lines = random_lines(rng, alphabet);
    auto new_lines = random_lines(rng, alphabet);
    SCOPED_TRACE(text_of(old_lines) + "---\n" + text_of(new_lines));
    match_pair(text_of(old_lines), text_of(new_lines));
    size_t pairs = 0;
    int32_t last = 0;
    for (int32_t i = 1; i <= result.line_count[0]; ++i) {
      int32_t m = result.match_vector[i];
      if (m == 0) continue;
      ASSERT_GT(m, last);
      ASSERT_LE(m, result.line_count[1]);
      EXPECT_EQ(old_lines[i - 1], new_lines[m - 1]);
      last = m;
      ++pairs;
    }
    EXPECT_EQ(pairs, lcs_length(old_lines, new_lines));
  }
}

TEST_F(MatchLines, LinesThatOnlyHashAlikeArePaired) {
  // Sixteen NULs bring the shift back to 0, so both lines sum to 3.
  std::string padded = std::string(16, '\0') + "\x02";
  match_pair("a\n\x02\nz\n", "a\n" + padded + "\nz\n");
  EXPECT_EQ(matches(), (std::vector<int32_t>{1, 0, 3}));
  EXPECT_EQ(result.new_offsets[2], 2 + 18);
}

TEST_F(MatchLines, BlankOptionsPairWhatVerificationAccepts) {
  set_modes(false, true, false);
  match_pair("x\na b\ny\n", "x\nab\n y\n");
  EXPECT_EQ(matches(), (std::vector<int32_t>{1, 2, 3}));
}

TEST_F(MatchLines, FilesThatShrankSinceLoading) {
  struct shrink_case {
    const char* name;
    std::string old_now, new_now;
  };
  const shrink_case cases[] = {
      {"both empty", "", ""},
      {"old empty", "", "a\nb\nc\n"},
      {"new empty", "a\nb\nc\n", ""},
      {"both cut in a line", "a\nb", "a\nb"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    load_pair("a\nb\nc\n", "a\nb\nc\n");
    FILE* old_file = fopen(old_path_.c_str(), "w");
    fputs(c.old_now.c_str(), old_file);
    fclose(old_file);
    FILE* new_file = fopen(new_path_.c_str(), "w");
    fputs(c.new_now.c_str(), new_file);
    fclose(new_file);
    result = match_lines(rules, old_path_.c_str(), new_path_.c_str(), tables);  // must end
    for (int32_t i = 1; i <= 3; ++i) {
      EXPECT_LE(result.old_offsets[i], static_cast<int64_t>(c.old_now.size()) + 3);
      EXPECT_LE(result.new_offsets[i], static_cast<int64_t>(c.new_now.size()) + 3);
    }
  }
}

}  // namespace
