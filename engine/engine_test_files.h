// Test support for the engine's unit tests: scratch files under /tmp, and the
// records of one comparison, made fresh for every test.
#ifndef OVARN_ENGINE_ENGINE_TEST_FILES_H_
#define OVARN_ENGINE_ENGINE_TEST_FILES_H_

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "engine/candidates.h"
#include "engine/equivalence.h"
#include "engine/line_rules.h"
#include "engine/line_table.h"
#include "engine/match_result.h"
#include "tests/support/temp_dir.h"

// Joins lines, each followed by a newline.
std::string text_of(const std::vector<std::string>& lines);

// The chain that ends at level k of search, from its last pairing down, as
// (old line, new line) pairs.
std::vector<std::pair<int32_t, int32_t>> chain_at(const candidate_search& search, int32_t k);

// Starts search and runs find_candidates on the classes, on a copy of
// old_classes (the search writes over them); returns k.
int32_t search_whole(candidate_search& search, const line_classes& classes,
                     const std::vector<int32_t>& old_classes);

// A fixture owning a scratch directory under /tmp that is removed afterwards.
class engine_test : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;

  // Writes content to a new file in the scratch directory; returns its path.
  std::string make_file(const std::string& content);

  // Sets the -b, -w, -i rules.
  void set_modes(bool blank_runs, bool all_blanks, bool fold_case);

  // Loads both files into the line tables, as the driver does.
  void load_pair(const std::string& old_text, const std::string& new_text);

  // Loads both files and builds their classes into classes; returns the old
  // lines' classes (elements 0..S1), which a search may write over.
  std::vector<int32_t> load_classes(const std::string& old_text, const std::string& new_text,
                                    line_classes& classes);

  // Loads both files and runs the whole line matching on them.
  void match_pair(const std::string& old_text, const std::string& new_text);

  // match_vector elements 1..line_count[0].
  std::vector<int32_t> matches() const;

  line_rules rules;
  line_tables tables;
  match_result result;
  std::string old_path_;
  std::string new_path_;

 private:
  std::unique_ptr<temp_dir> dir_;
  int32_t files_made_ = 0;
};

#endif  // OVARN_ENGINE_ENGINE_TEST_FILES_H_
