#include "engine/verify_matches.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <fstream>
#include <random>
#include <cstring>
#include <string>
#include <vector>

#include "base/exit_run.h"
#include "engine/engine_test_files.h"
#include "engine/line_table.h"

namespace {

class verify_matches_test : public engine_test {
 protected:
  // Loads the pair, pairs old line i with new line pairs[i - 1] (0 for
  // none) whatever their hashes, and verifies.
  void verify(const std::string& old_text, const std::string& new_text,
              const std::vector<int32_t>& pairs) {
    load_pair(old_text, new_text);
    ASSERT_EQ(tables.line_count[0], static_cast<int32_t>(pairs.size()));
    verify_loaded(pairs);
  }

  // Verifies the pairs on the files loaded, as they are now.
  void verify_loaded(const std::vector<int32_t>& pairs) {
    result = match_result{};
    for (int file = 0; file < 2; ++file) result.line_count[file] = tables.line_count[file];
    result.match_vector = table<int32_t>(result.line_count[0] + 2);
    result.match_vector[0] = 0;
    for (size_t i = 0; i < pairs.size(); ++i) result.match_vector[i + 1] = pairs[i];
    result.old_offsets = table<int64_t>(result.line_count[0] + 2);
    result.new_offsets = table<int64_t>(result.line_count[1] + 2);
    verify_matches(rules, old_path_.c_str(), new_path_.c_str(), tables, result);
  }

  std::vector<int64_t> offsets(int file) const {
    const int64_t* t = file == 0 ? result.old_offsets.data() : result.new_offsets.data();
    return std::vector<int64_t>(t, t + result.line_count[file] + 1);
  }
};

using VerifyMatches = verify_matches_test;
using VerifyMatchesDeathTest = verify_matches_test;

TEST_F(VerifyMatches, OffsetsOfEveryLine) {
  verify("a\nbb\n\nccc\n", "bb\nx\n\ny\nz\n", {0, 1, 3, 0});
  EXPECT_EQ(offsets(0), (std::vector<int64_t>{0, 2, 5, 6, 10}));
  EXPECT_EQ(offsets(1), (std::vector<int64_t>{0, 3, 5, 6, 8, 10}));
  EXPECT_EQ(matches(), (std::vector<int32_t>{0, 1, 3, 0}));
}

TEST_F(VerifyMatches, BrokenPairReadsOnToTheLineEnd) {
  verify("abXdef\nz\nlast\n", "abYgh\nz\n", {1, 2, 0});
  EXPECT_EQ(matches(), (std::vector<int32_t>{0, 2, 0}));
  EXPECT_EQ(offsets(0), (std::vector<int64_t>{0, 7, 9, 14}));
  EXPECT_EQ(offsets(1), (std::vector<int64_t>{0, 6, 8}));
}

TEST_F(VerifyMatches, EmptyOldFileFillsNewOffsets) {
  verify("", "a\nbc\n", {});
  EXPECT_EQ(offsets(1), (std::vector<int64_t>{0, 2, 5}));
}

TEST_F(VerifyMatchesDeathTest, FileThatCannotBeOpenedAgainEndsTheRun) {
  load_pair("a\n", "a\n");
  std::string gone = old_path_ + ".gone";
  std::string missing_too = gone + "2";
  // The old file is tried first; the message has no program prefix.
  old_path_ = gone;
  new_path_ = missing_too;
  EXPECT_EXIT(
      {
        run_exit.status = 1;  // the files were found to differ
        verify_loaded({1});
      },
      ::testing::ExitedWithCode(1),
              "^" + gone + ": " + strerror(ENOENT) + "\n$");
}

struct pair_case {
  const char* name;
  std::string old_line, new_line;  // without their newlines
  bool blank_runs, all_blanks, fold_case;
  bool agree;
};

TEST_F(VerifyMatches, ComparisonUnderOptions) {
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
    EXPECT_EQ(result.old_offsets[1], static_cast<int64_t>(c.old_line.size() + 1));
    EXPECT_EQ(result.new_offsets[1], static_cast<int64_t>(c.new_line.size() + 1));
    EXPECT_EQ(result.old_offsets[2], static_cast<int64_t>(c.old_line.size() + 6));
  }
}

// The files are read in blocks of 64 KiB: pairs that lie across a block's
// end, or are longer than a block, are compared and counted like any other.
TEST_F(VerifyMatches, LinesAcrossBlockEnds) {
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
      EXPECT_EQ(offsets(0), old_expected);
      EXPECT_EQ(offsets(1), new_expected);
    }
  }
}

// Random pairs of files much alike, paired mostly line for line: the lengths
// gather around the 32 bytes the comparison takes at a time, the edits fall
// on any byte of a line, newline included, and some lines outgrow a read
// block. Blanks come and go in some lines, for -w.
struct alike_pair {
  std::vector<std::string> old_lines, new_lines;
  std::vector<int32_t> pairs;
};

// One line in long_one_in outgrows a read block.
alike_pair make_alike_pair(uint32_t seed, uint32_t fewest_lines, uint32_t more_lines,
                           uint32_t long_one_in = 400) {
  std::mt19937 random(seed);
  auto below = [&random](uint32_t n) { return static_cast<uint32_t>(random() % n); };
  // Lines are cut from one random text of three letters, so that they are
  // often alike, and so that making files of megabytes takes no time.
  std::string letters(70100 * 2, 'x');
  for (char& c : letters) c = static_cast<char>('a' + below(3));
  auto random_line = [&]() {
    static const uint32_t kLengths[] = {0, 1, 30, 31, 32, 33, 63, 64, 65};
    uint32_t length = below(4) == 0 ? kLengths[below(9)] : below(90);
    if (below(long_one_in) == 0) length = 70000 + below(100);
    return letters.substr(below(static_cast<uint32_t>(letters.size()) - length + 1), length);
  };
  alike_pair pair;
  const uint32_t lines = fewest_lines + below(more_lines);
  for (uint32_t n = 0; n < lines; ++n) {
    pair.old_lines.push_back(random_line());
    uint32_t roll = below(100);
    if (roll < 3) {  // an old line of its own
      pair.pairs.push_back(0);
      continue;
    }
    if (roll < 6) pair.new_lines.push_back(random_line());  // a new line of its own
    std::string line = pair.old_lines.back();
    if (roll >= 88) {  // an edit: one byte changed, added or taken away
      uint32_t at = below(static_cast<uint32_t>(line.size()) + 1);
      if (roll < 90) {
        line.insert(at, 1, below(2) == 0 ? ' ' : '\t');
      } else if (roll < 94) {
        line.insert(at, 1, 'z');
      } else if (roll < 97 && !line.empty()) {
        line.erase(at == line.size() ? at - 1 : at, 1);
      } else if (!line.empty()) {
        line[at == line.size() ? at - 1 : at] = 'z';
      }
    }
    pair.new_lines.push_back(line);
    // Some equal lines are left unpaired, as the search may leave them.
    pair.pairs.push_back(roll == 50 ? 0 : static_cast<int32_t>(pair.new_lines.size()));
  }
  return pair;
}

// Under -w the lines are compared without their blanks.
std::string without_blanks(std::string line) {
  std::erase_if(line, [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); });
  return line;
}

// The plain model of the pass: a pairing stands when its lines are equal,
// and every offset is the sum of the lengths of the lines before it.
void expect_model(const alike_pair& pair, bool all_blanks, const std::vector<int32_t>& matches,
                  const std::vector<int64_t>& old_offsets, const std::vector<int64_t>& new_offsets) {
  std::vector<int32_t> expected;
  for (size_t i = 0; i < pair.pairs.size(); ++i) {
    int32_t m = pair.pairs[i];
    bool stands = m != 0 && (all_blanks ? without_blanks(pair.old_lines[i]) ==
                                              without_blanks(pair.new_lines[m - 1])
                                        : pair.old_lines[i] == pair.new_lines[m - 1]);
    expected.push_back(stands ? m : 0);
  }
  ASSERT_EQ(matches, expected);
  std::vector<int64_t> old_expected{0}, new_expected{0};
  for (const auto& line : pair.old_lines)
    old_expected.push_back(old_expected.back() + static_cast<int64_t>(line.size()) + 1);
  for (const auto& line : pair.new_lines)
    new_expected.push_back(new_expected.back() + static_cast<int64_t>(line.size()) + 1);
  ASSERT_EQ(old_offsets, old_expected);
  ASSERT_EQ(new_offsets, new_expected);
}

TEST_F(VerifyMatches, PairsOfFilesMuchAlikeAgainstAModel) {
  for (uint32_t round = 0; round < 40; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    bool all_blanks = round % 4 == 3;
    set_modes(false, all_blanks, false);
    alike_pair pair = make_alike_pair(2026 + round, 300, 3000);
    verify(text_of(pair.old_lines), text_of(pair.new_lines), pair.pairs);
    expect_model(pair, all_blanks, matches(), offsets(0), offsets(1));
  }
}

// Files of some megabytes are verified in two parts at once, split at a
// place noted while loading; the parts must meet exactly.
TEST_F(VerifyMatches, LargeFilesVerifiedInTwoPartsAgainstAModel) {
  for (uint32_t round = 0; round < 4; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    bool all_blanks = round == 3;
    set_modes(false, all_blanks, false);
    alike_pair pair = make_alike_pair(7 + round, 70000, 20000, 4000);
    if (round == 1) {
      // Nothing paired in the old file's first half.
      for (size_t i = 0; i < pair.pairs.size() / 2 + 1000; ++i) pair.pairs[i] = 0;
    }
    verify(text_of(pair.old_lines), text_of(pair.new_lines), pair.pairs);
    ASSERT_GE(tables.line_mark_count[0], 3);  // large enough to be split
    expect_model(pair, all_blanks, matches(), offsets(0), offsets(1));
  }
}

// A file changed between loading and verification: its lines no longer
// begin where loading noted them, so the parts would not meet, and the pass
// is made again over the whole files as they are now.
TEST_F(VerifyMatches, FilesChangedSinceLoadingAreVerifiedWhole) {
  for (int changed = 0; changed < 2; ++changed) {
    SCOPED_TRACE(changed == 0 ? "old file" : "new file");
    alike_pair pair = make_alike_pair(99, 70000, 1, 4000);
    load_pair(text_of(pair.old_lines), text_of(pair.new_lines));
    // One byte more in a line of the first part, the line count unchanged.
    std::vector<std::string>& lines = changed == 0 ? pair.old_lines : pair.new_lines;
    lines[10] += "z";
    {
      std::ofstream out(changed == 0 ? old_path_ : new_path_, std::ios::binary);
      out << text_of(lines);
    }
    verify_loaded(pair.pairs);
    expect_model(pair, false, matches(), offsets(0), offsets(1));
  }
}

// The new file cut short after loading: the second part cannot find its
// first line, and the whole pass ends at the shorter file's end.
TEST_F(VerifyMatches, NewFileCutShortSinceLoading) {
  alike_pair pair = make_alike_pair(5, 70000, 1, 4000);
  const std::string new_text = text_of(pair.new_lines);
  load_pair(text_of(pair.old_lines), new_text);
  const size_t kept = new_text.size() / 4;
  {
    std::ofstream out(new_path_, std::ios::binary);
    out << new_text.substr(0, kept);
  }
  verify_loaded(pair.pairs);
  // No pairing stands with a new line beyond the cut, and every line past
  // it still takes a byte, its end of file read once: a line of no bytes
  // would keep the output reading at one offset.
  const table<int64_t>& new_offsets = result.new_offsets;
  for (int32_t i = 1; i <= result.line_count[0]; ++i) {
    int32_t m = result.match_vector[i];
    if (m == 0) continue;
    ASSERT_LE(new_offsets[m], static_cast<int64_t>(kept)) << "old line " << i;
  }
  for (int32_t j = 1; j <= result.line_count[1]; ++j) ASSERT_LT(new_offsets[j - 1], new_offsets[j]);
}

}  // namespace
