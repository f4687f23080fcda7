#include "engine/verify_matches.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <random>
#include <cstring>
#include <string>
#include <vector>

#include "cli/exit_run.h"
#include "cli/run_state.h"
#include "engine/engine_test_files.h"
#include "engine/line_table.h"
#include "engine/match_vector.h"

namespace {

class verify_matches_test : public engine_test {
 protected:
  // Loads the pair, pairs old line i with new line pairs[i - 1] (0 for
  // none) whatever their hashes, and verifies.
  void verify(const std::string& old_text, const std::string& new_text,
              const std::vector<int32_t>& pairs) {
    load_pair(old_text, new_text);
    ASSERT_EQ(line_count[0], static_cast<int32_t>(pairs.size()));
    match_vector = static_cast<int32_t*>(checked_alloc(table_size(line_count[0] + 2, 4)));
    match_vector[0] = 0;
    for (size_t i = 0; i < pairs.size(); ++i) match_vector[i + 1] = pairs[i];
    old_offsets = static_cast<int64_t*>(checked_alloc(table_size(line_count[0] + 2, 8)));
    new_offsets = static_cast<int64_t*>(checked_alloc(table_size(line_count[1] + 2, 8)));
    verify_matches();
  }

  std::vector<int64_t> offsets(const int64_t* table, int file) const {
    return std::vector<int64_t>(table, table + line_count[file] + 1);
  }
};

TEST_F(verify_matches_test, OffsetsOfEveryLine) {
  verify("a\nbb\n\nccc\n", "bb\nx\n\ny\nz\n", {0, 1, 3, 0});
  EXPECT_EQ(offsets(old_offsets, 0), (std::vector<int64_t>{0, 2, 5, 6, 10}));
  EXPECT_EQ(offsets(new_offsets, 1), (std::vector<int64_t>{0, 3, 5, 6, 8, 10}));
  EXPECT_EQ(matches(), (std::vector<int32_t>{0, 1, 3, 0}));
  EXPECT_EQ(input_streams[0], nullptr);
  EXPECT_EQ(input_streams[1], nullptr);
}

TEST_F(verify_matches_test, BrokenPairReadsOnToTheLineEnd) {
  verify("abXdef\nz\nlast\n", "abYgh\nz\n", {1, 2, 0});
  EXPECT_EQ(matches(), (std::vector<int32_t>{0, 2, 0}));
  EXPECT_EQ(offsets(old_offsets, 0), (std::vector<int64_t>{0, 7, 9, 14}));
  EXPECT_EQ(offsets(new_offsets, 1), (std::vector<int64_t>{0, 6, 8}));
}

TEST_F(verify_matches_test, EmptyOldFileFillsNewOffsets) {
  verify("", "a\nbc\n", {});
  EXPECT_EQ(offsets(new_offsets, 1), (std::vector<int64_t>{0, 2, 5}));
}

TEST_F(verify_matches_test, FileThatCannotBeOpenedAgainEndsTheRun) {
  load_pair("a\n", "a\n");
  old_offsets = static_cast<int64_t*>(checked_alloc(table_size(3, 8)));
  new_offsets = static_cast<int64_t*>(checked_alloc(table_size(3, 8)));
  std::string gone = std::string(state.path1) + ".gone";
  std::string missing_too = gone + "2";
  state.exit_status = 1;  // the files were found to differ
  // The old file is tried first; the message has no program prefix.
  state.path1 = gone.data();
  state.path2 = missing_too.data();
  EXPECT_EXIT(verify_matches(), ::testing::ExitedWithCode(1),
              "^" + gone + ": " + strerror(ENOENT) + "\n$");
}

struct pair_case {
  const char* name;
  std::string old_line, new_line;  // without their newlines
  bool blank_runs, all_blanks, fold_case;
  bool agree;
};

TEST_F(verify_matches_test, ComparisonUnderOptions) {
  const pair_case cases[] = {
      {"equal", "abc", "abc", false, false, false, true},
      {"last byte", "abc", "abd", false, false, false, false},
      {"longer new line", "ab", "abc", false, false, false, false},
      {"longer old line", "abc", "ab", false, false, false, false},
      {"NUL against blank", std::string("a\0b", 3), "a b", false, false, false, false},
      {"blank against tab -b", "a b", "a\tb", true, false, false, true},
      {"trailing blanks -b", "a b  ", "a b", true, false, false, true},
      {"trailing blanks on the new side -b", "a b", "a b \t", true, false, false, true},
      {"runs of any mix -b", "a  b", "a \t\v b", true, false, false, true},
      {"carriage return is a blank -b", "a\r", "a", true, false, false, true},
      {"blank against nothing -b", "a b", "ab", true, false, false, false},
      {"leading blank -b", " a", "a", true, false, false, false},
      {"case still counts -b", "A b", "a b", true, false, false, false},
      {"NUL against blank -b", std::string("a\0b", 3), "a b", true, false, false, false},
      {"blanks anywhere -w", "a b", "ab", false, true, false, true},
      {"every space class -w", " a\tb\f \r", "ab", false, true, false, true},
      {"other letters -w", "a b", "ac", false, true, false, false},
      {"-b and -w together", "a b", "ab", true, true, false, true},
      {"case -i", "ABC", "abc", false, false, true, true},
      {"brackets -i", "[", "{", false, false, true, true},
      {"high bytes are not folded -i", "\xC1", "\xE1", false, false, true, false},
      {"blanks still count -i", "a b", "ab", false, false, true, false},
      {"case and blanks -b -i", "A  B", "a b", true, false, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    set_modes(c.blank_runs, c.all_blanks, c.fold_case);
    // A paired line after the pair under test shows that the pass went on
    // from the right place.
    verify(c.old_line + "\nnext\n", c.new_line + "\nnext\n", {1, 2});
    EXPECT_EQ(matches(), (std::vector<int32_t>{c.agree ? 1 : 0, 2}));
    EXPECT_EQ(old_offsets[1], static_cast<int64_t>(c.old_line.size() + 1));
    EXPECT_EQ(new_offsets[1], static_cast<int64_t>(c.new_line.size() + 1));
    EXPECT_EQ(old_offsets[2], static_cast<int64_t>(c.old_line.size() + 6));
  }
}

// The files are read in blocks of 64 KiB: pairs that lie across a block's
// end, or are longer than a block, are compared and counted like any other.
TEST_F(verify_matches_test, LinesAcrossBlockEnds) {
  const std::string big(150000, 'q');
  const std::string diff_old = std::string(100, 'd') + "1";
  const std::string diff_new = std::string(100, 'd') + "2";
  const size_t fillers[][2] = {{65530, 10},    {65531, 65536},  {65535, 65534},
                               {65536, 65530}, {65000, 131060}, {1, 131071}};
  for (bool loose : {false, true}) {
    set_modes(false, loose, false);
    for (const auto& filler : fillers) {
      SCOPED_TRACE(std::to_string(filler[0]) + " " + std::to_string(filler[1]) +
                   (loose ? " -w" : ""));
      const std::vector<std::string> old_lines{std::string(filler[0], 'f'), "pair", big, diff_old,
                                               "end"};
      const std::vector<std::string> new_lines{std::string(filler[1], 'g'), "pair", big, diff_new,
                                               "end"};
      verify(text_of(old_lines), text_of(new_lines), {0, 2, 3, 4, 5});
      EXPECT_EQ(matches(), (std::vector<int32_t>{0, 2, 3, 0, 5}));
      std::vector<int64_t> old_expected{0}, new_expected{0};
      for (const auto& line : old_lines)
        old_expected.push_back(old_expected.back() + line.size() + 1);
      for (const auto& line : new_lines)
        new_expected.push_back(new_expected.back() + line.size() + 1);
      EXPECT_EQ(offsets(old_offsets, 0), old_expected);
      EXPECT_EQ(offsets(new_offsets, 1), new_expected);
    }
  }
}

// Random pairs of files much alike, paired mostly line for line, against a
// plain model: a pairing stands when its lines are equal, and every offset
// is the sum of the lengths of the lines before it. The lengths gather
// around the 32 bytes the comparison takes at a time, the edits fall on any
// byte of a line, newline included, and some lines outgrow a read block.
TEST_F(verify_matches_test, PairsOfFilesMuchAlikeAgainstAModel) {
  std::mt19937 random(2026);
  auto below = [&random](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  auto random_line = [&](void) {
    static const uint32_t kLengths[] = {0, 1, 30, 31, 32, 33, 63, 64, 65};
    uint32_t length = below(4) == 0 ? kLengths[below(9)] : below(90);
    if (below(400) == 0) length = 70000 + below(100);
    std::string line(length, 'x');
    for (char& c : line) c = static_cast<char>('a' + below(3));  // often alike
    return line;
  };
  for (int round = 0; round < 40; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const uint32_t lines = 300 + below(3000);
    std::vector<std::string> old_lines, new_lines;
    std::vector<int32_t> pairs;
    for (uint32_t n = 0; n < lines; ++n) {
      old_lines.push_back(random_line());
      uint32_t roll = below(100);
      if (roll < 3) {  // an old line of its own
        pairs.push_back(0);
        continue;
      }
      if (roll < 6) new_lines.push_back(random_line());  // a new line of its own
      std::string line = old_lines.back();
      if (roll >= 90) {  // an edit: one byte changed, added or taken away
        uint32_t at = below(static_cast<uint32_t>(line.size()) + 1);
        if (roll < 94) {
          line.insert(at, 1, 'z');
        } else if (roll < 97 && !line.empty()) {
          line.erase(at == line.size() ? at - 1 : at, 1);
        } else if (!line.empty()) {
          line[at == line.size() ? at - 1 : at] = 'z';
        }
      }
      new_lines.push_back(line);
      // Some equal lines are left unpaired, as the search may leave them.
      pairs.push_back(roll == 50 ? 0 : static_cast<int32_t>(new_lines.size()));
    }
    verify(text_of(old_lines), text_of(new_lines), pairs);
    std::vector<int32_t> expected;
    for (size_t i = 0; i < pairs.size(); ++i) {
      bool stands = pairs[i] != 0 && old_lines[i] == new_lines[pairs[i] - 1];
      expected.push_back(stands ? pairs[i] : 0);
    }
    ASSERT_EQ(matches(), expected);
    std::vector<int64_t> old_expected{0}, new_expected{0};
    for (const auto& line : old_lines) old_expected.push_back(old_expected.back() + line.size() + 1);
    for (const auto& line : new_lines) new_expected.push_back(new_expected.back() + line.size() + 1);
    ASSERT_EQ(offsets(old_offsets, 0), old_expected);
    ASSERT_EQ(offsets(new_offsets, 1), new_expected);
  }
}

}  // namespace
