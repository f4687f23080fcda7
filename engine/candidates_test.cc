#include "engine/candidates.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "engine/chain_rows.h"
#include "engine/engine_test_files.h"
#include "engine/equivalence.h"
#include "engine/line_table.h"

namespace {

class Candidates : public engine_test {
 protected:
  // Loads the pair and runs the search with its allocations and releases;
  // returns k.
  int32_t search(const std::vector<std::string>& old_lines,
                 const std::vector<std::string>& new_lines) {
    load_pair(text_of(old_lines), text_of(new_lines));
    classes = line_classes{};
    build_line_classes(tables, classes);
    candidates = candidate_search{};
    start_candidate_search(candidates, classes.sorted_count[0]);
    int32_t k = find_candidates(candidates, classes.old_line_class.data(), classes.sorted_count[0],
                                classes.new_class_list.data(), classes.sorted_count[1]);
    result = match_result{};
    result.line_count[0] = tables.line_count[0];
    result.line_count[1] = tables.line_count[1];
    allocate_match_vector(result);
    build_match_vector(candidates, chain_end(candidates, k), classes, result);
    return k;
  }

  line_classes classes;
  candidate_search candidates;
};

TEST_F(Candidates, WorkedExample) {
  int32_t k = search({"a", "b", "c", "a", "b", "b", "a"}, {"c", "b", "a", "b", "a", "c"});
  EXPECT_EQ(k, 4);
  EXPECT_EQ(matches(), (std::vector<int32_t>{0, 0, 1, 3, 4, 0, 5}));
  EXPECT_EQ(candidates.candidate_count, 12);
}

TEST_F(Candidates, LaterChainEndReplacesEarlierOne) {
  int32_t k = search({"x", "a", "b", "c", "y"}, {"x", "b", "a", "c", "y"});
  EXPECT_EQ(classes.prefix_len, 1);
  EXPECT_EQ(classes.suffix_len, 2);
  EXPECT_EQ(k, 1);
  EXPECT_EQ(matches(), (std::vector<int32_t>{1, 0, 2, 4, 5}));
}

TEST_F(Candidates, NoCommonLinesKeepsPrefixAndSuffix) {
  int32_t k = search({"s", "a", "b", "e"}, {"s", "c", "d", "x", "e"});
  EXPECT_EQ(k, 0);
  EXPECT_EQ(matches(), (std::vector<int32_t>{1, 0, 0, 5}));
}

TEST_F(Candidates, EqualFilesPairEveryLine) {
  int32_t k = search({"a", "b", "a"}, {"a", "b", "a"});
  EXPECT_EQ(k, 0);
  EXPECT_EQ(matches(), (std::vector<int32_t>{1, 2, 3}));
}

TEST_F(Candidates, EmptyOldFile) {
  int32_t k = search({}, {"a", "b"});
  EXPECT_EQ(k, 0);
  EXPECT_EQ(result.line_count[0], 0);
  EXPECT_EQ(result.match_vector[0], 0);
}

// The search exactly as written out step by step, every class line looked
// up with the binary search, on its own records.
struct reference_search {
  std::vector<candidate> records;
  std::vector<int32_t> ends;

  int32_t position(int32_t k, int32_t y) const {
    if (records[ends[k]].new_pos < y) return k + 1;
    int32_t lo = 0, hi = k + 1;
    for (;;) {
      int32_t mid = (lo + hi) / 2;
      if (mid <= lo) return mid + 1;
      int32_t t = records[ends[mid]].new_pos;
      if (t > y)
        hi = mid;
      else if (t < y)
        lo = mid;
      else
        return mid;
    }
  }

  int32_t add(int32_t old_pos, int32_t new_pos, int32_t prev) {
    records.push_back({old_pos, new_pos, prev});
    return static_cast<int32_t>(records.size()) - 1;
  }

  int32_t run(const int32_t* old_classes, int32_t old_count, const int32_t* class_list) {
    ends.assign(old_count + 2, 0);
    ends[0] = add(0, 0, 0);
    int32_t k = 0;
    for (int32_t i = 1; i <= old_count; ++i) {
      int32_t c = old_classes[i];
      if (c == 0) continue;
      int32_t pos = c, y = -class_list[c], l = 0, r = ends[0];
      for (;;) {
        if (y > records[r].new_pos) {
          int32_t s = position(k, y);
          if (s != l + 1) r = ends[s - 1];
          if (s == k + 1) {
            ends[s] = add(i, y, r);
            ++k;
            break;
          }
          if (records[ends[s]].new_pos > y) {
            int32_t t = ends[s];
            ends[s] = add(i, y, r);
            r = t;
            l = s;
          }
        }
        y = class_list[++pos];
        if (y <= 0) break;
      }
    }
    return k;
  }
};

std::vector<std::string> random_lines(std::mt19937& rng, int alphabet, int most) {
  std::uniform_int_distribution<int> length(0, most);
  std::uniform_int_distribution<int> letter(0, alphabet - 1);
  std::vector<std::string> lines(length(rng));
  for (auto& line : lines) line = std::string(1, static_cast<char>('a' + letter(rng)));
  return lines;
}

class SameChains : public Candidates {
 protected:
  // The search by rows, whole and within bands, against the written-out
  // search's longest chain: the rows kept at one level and at several, a
  // band that holds the chain just, and bands one line too narrow on either
  // side, which give up, and the band the chain they found tells.
  void expect_same_chain_by_rows(const reference_search& reference, int32_t k,
                                 const line_classes& classes) {
    std::vector<std::pair<int32_t, int32_t>> expected;
    for (int32_t r = reference.ends[k]; reference.records[r].new_pos != 0;
         r = reference.records[r].prev)
      expected.emplace_back(reference.records[r].old_pos, reference.records[r].new_pos);
    const int32_t old_count = classes.sorted_count[0];
    const int32_t new_count = classes.sorted_count[1];
    const diagonal_band just = band_holding(old_count, new_count, k);
    for (const int32_t factor : {old_count + 1, 5, 2}) {
      const row_levels levels = row_levels_by_factor(old_count, factor);
      for (const diagonal_band band : {whole_band(old_count, new_count), just,
                                       diagonal_band{just.low + 1, just.high},
                                       diagonal_band{just.low, just.high - 1}}) {
        SCOPED_TRACE(testing::Message() << "band " << band.low << ".." << band.high
                                        << ", rows kept by a factor of " << factor);
        int32_t band_chain = 0;
        candidate_search rows;
        start_candidate_search(rows, old_count);
        int32_t found = find_chain_by_rows(rows, classes.old_line_class.data(), old_count,
                                           classes.new_class_list.data(), new_count, levels,
                                           band, &band_chain);
        if (found < 0) {
          EXPECT_TRUE(band.low > just.low || band.high < just.high);
          found = find_chain_by_rows(rows, classes.old_line_class.data(), old_count,
                                     classes.new_class_list.data(), new_count, levels,
                                     band_holding(old_count, new_count, band_chain),
                                     &band_chain);
        }
        ASSERT_EQ(found, k);
        EXPECT_TRUE(candidates_hold_together(rows, k, k));
        EXPECT_EQ(chain_at(rows, k), expected);
      }
    }
  }

  // Runs the search and the one written out on the pair and expects the same
  // k and, at every level, the same chain. Returns the records the written
  // out search made and the ones the search kept.
  std::pair<int32_t, int32_t> expect_same_chains(const std::vector<std::string>& old_lines,
                                                 const std::vector<std::string>& new_lines) {
    load_pair(text_of(old_lines), text_of(new_lines));
    line_classes classes;
    build_line_classes(tables, classes);
    const int32_t old_count = classes.sorted_count[0];
    int32_t* old_class = classes.old_line_class.data();
    const int32_t* class_list = classes.new_class_list.data();
    reference_search reference;
    int32_t expected_k = reference.run(old_class, old_count, class_list);
    // Before the search, which keeps its books over the old lines' classes.
    expect_same_chain_by_rows(reference, expected_k, classes);
    candidate_search search;
    start_candidate_search(search, old_count);
    int32_t k = find_candidates(search, old_class, old_count, class_list, classes.sorted_count[1]);
    EXPECT_EQ(k, expected_k);
    EXPECT_TRUE(candidates_hold_together(search, 1, k));
    // Chains share their beginnings, so each record is checked once: a
    // record found to stand for a reference record ends the walk down.
    std::vector<int32_t> stands_for(search.candidate_count, -1);
    for (int32_t p = 0; p <= std::min(k, expected_k); ++p) {
      int32_t c = search.chain_ends[p], r = reference.ends[p];
      for (; stands_for[c] < 0; c = candidate_at(search, c).prev, r = reference.records[r].prev) {
        const candidate record = candidate_at(search, c);
        if (record.old_pos != reference.records[r].old_pos ||
            record.new_pos != reference.records[r].new_pos)
          break;
        stands_for[c] = r;
        if (record.new_pos == 0) break;
      }
      if (stands_for[c] != r) {
        ADD_FAILURE() << "chains differ at level " << p;
        break;
      }
    }
    return {static_cast<int32_t>(reference.records.size()), search.candidate_count};
  }
};

TEST_F(SameChains, SameChainsAsTheSearchWrittenOut) {
  std::mt19937 rng(4711);
  for (int round = 0; round < 300; ++round) {
    auto old_lines = random_lines(rng, 2 + round % 6, 60);
    auto new_lines = random_lines(rng, 2 + round % 6, 60);
    SCOPED_TRACE(text_of(old_lines) + "---\n" + text_of(new_lines));
    expect_same_chains(old_lines, new_lines);
  }
}

// Lines drawn from a few values, as in logs and tables: the records that no
// chain reaches any more pile up and are dropped while the search runs,
// which must leave every chain as it was.
TEST_F(SameChains, ManyRepeatsKeepTheSameChains) {
  struct pair_shape {
    int lines;     // per file
    int distinct;  // values the lines are drawn from
    int changed;   // < 0: the new file drawn anew; else the old one with
                   // this many lines changed to another value
  };
  const pair_shape shapes[] = {{3000, 2, -1}, {3000, 7, -1}, {4000, 5, 400}, {6000, 4, 60}};
  std::mt19937 rng(20261209);
  for (const auto& shape : shapes) {
    SCOPED_TRACE(testing::Message() << shape.lines << " lines of " << shape.distinct
                                    << " values, " << shape.changed << " changed");
    std::uniform_int_distribution<int> value(0, shape.distinct - 1);
    std::vector<std::string> old_lines(shape.lines), new_lines(shape.lines);
    for (auto& line : old_lines) line = std::to_string(value(rng));
    for (auto& line : new_lines) line = std::to_string(value(rng));
    if (shape.changed >= 0) {
      new_lines = old_lines;
      std::uniform_int_distribution<int> at(0, shape.lines - 1);
      for (int c = 0; c < shape.changed; ++c) {
        std::string& line = new_lines[at(rng)];
        line = std::to_string((std::stoi(line) + 1) % shape.distinct);
      }
    }
    auto [made, kept] = expect_same_chains(old_lines, new_lines);
    EXPECT_LT(kept, made);  // records were dropped on the way
  }
}

// A search in a band either gives up or finds the whole search's longest
// chain, and leaves the old lines' classes as they were for a search after
// it. Pairs much alike, with a band wider than the lines they leave
// unpaired, must not be given up.
TEST_F(Candidates, BandFindsTheSameLongestChainOrGivesUp) {
  std::mt19937 rng(8192);
  int found_in_band = 0;
  for (int round = 0; round < 120; ++round) {
    const int values = 2 + round % 7 * 7;
    const int lines = 200 + round * 17;
    std::uniform_int_distribution<int> value(0, values - 1);
    std::vector<std::string> old_lines(lines);
    for (auto& line : old_lines) line = std::to_string(value(rng));
    std::vector<std::string> new_lines = old_lines;
    std::uniform_int_distribution<int> edits(0, round % 3 == 0 ? lines : 12);
    for (int e = edits(rng); e > 0; --e) {
      std::uniform_int_distribution<size_t> at(0, new_lines.size());
      const size_t where = at(rng);
      if (e % 3 == 0 || where == new_lines.size())
        new_lines.insert(new_lines.begin() + where, std::to_string(value(rng)));
      else if (e % 3 == 1)
        new_lines.erase(new_lines.begin() + where);
      else
        new_lines[where] = std::to_string(value(rng));
    }
    line_classes classes;
    const std::vector<int32_t> old_classes =
        load_classes(text_of(old_lines), text_of(new_lines), classes);
    const int32_t old_count = classes.sorted_count[0];
    const int32_t new_count = classes.sorted_count[1];
    const int32_t* class_list = classes.new_class_list.data();
    candidate_search whole;
    const int32_t k = search_whole(whole, classes, old_classes);
    const int32_t unpaired = old_count + new_count - 2 * k;
    const int32_t band = std::vector<int32_t>{4, 16, 64, 300}[round % 4];
    SCOPED_TRACE(testing::Message() << "round " << round << ", " << unpaired
                                    << " lines unpaired, band " << band);
    std::vector<int32_t> books = old_classes;
    candidate_search in_band;
    start_candidate_search(in_band, old_count);
    const int32_t band_k = find_candidates_within(in_band, books.data(), old_count, class_list,
                                                  new_count, {band, kNoStepLimit});
    EXPECT_EQ(books, old_classes);
    if (unpaired + 1 >= band) {
      EXPECT_EQ(band_k, -1);
      continue;
    }
    ASSERT_EQ(band_k, k);
    EXPECT_EQ(chain_at(in_band, k), chain_at(whole, k));
    ++found_in_band;
  }
  EXPECT_GT(found_in_band, 30);
}

TEST(SearchCandidates, FindsSmallestPositionNotBelow) {
  int32_t pos[5] = {0, 2, 5, 9, -1};  // chain ends at new lines 2, 5, 9
  int32_t sample[1] = {0};
  const chain_positions end_pos{pos, sample};
  struct probe {
    int32_t y, p;
  };
  const probe probes[] = {{1, 1}, {2, 1}, {3, 2}, {5, 2}, {6, 3}, {9, 3}, {10, 4}};
  for (const auto& q : probes) {
    SCOPED_TRACE(q.y);
    EXPECT_EQ(search_candidates(end_pos, 3, q.y), q.p);
  }
  EXPECT_EQ(search_candidates(end_pos, 0, 1), 1);  // only the sentinel
}

TEST(SearchCandidates, AcrossSampledLevels) {
  // Levels 0..1000 end at new lines 0, 3, 6, ...
  const int32_t k = 1000;
  std::vector<int32_t> pos(k + 1), sample(k / 64 + 1);
  chain_positions chain{pos.data(), sample.data()};
  for (int32_t p = 0; p <= k; ++p) set_chain_position(chain, p, 3 * p);
  for (int32_t y = 1; y <= 3 * k + 2; ++y)
    ASSERT_EQ(search_candidates(chain, k, y), (y + 2) / 3) << y;
}

TEST(SearchCandidates, AboveAFloorAgreesWithTheWholeSearch) {
  std::mt19937 rng(99);
  for (int round = 0; round < 200; ++round) {
    const int32_t k = 1 + round * 7;
    std::vector<int32_t> pos(k + 1), sample(k / 64 + 1);
    chain_positions chain{pos.data(), sample.data()};
    std::uniform_int_distribution<int32_t> gap(1, 1 + round % 9);
    for (int32_t p = 0, y = 0; p <= k; ++p, y += gap(rng)) set_chain_position(chain, p, y);
    std::uniform_int_distribution<int32_t> level(0, k);
    for (int probe = 0; probe < 50; ++probe) {
      int32_t floor = level(rng);
      for (int32_t y = pos[floor] + 1; y <= pos[k] + 1 && y <= pos[floor] + 400; y += 1 + y % 3)
        ASSERT_EQ(search_candidates_above(chain, k, y, floor), search_candidates(chain, k, y))
            << k << " " << floor << " " << y;
    }
  }
}

}  // namespace
