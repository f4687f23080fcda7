#include "engine/engine_test_files.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "cli/run_options.h"
#include "cli/run_state.h"
#include "engine/line_table.h"
#include "engine/match_lines.h"
#include "engine/match_vector.h"
#include "engine/new_table.h"
#include "engine/verify_matches.h"

std::string text_of(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

void engine_test::SetUp() {
  char pattern[] = "/tmp/engine_test_XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  dir_ = pattern;
  options = run_options{};
  char_map = identity_map;
}

void engine_test::TearDown() {
  for (const auto& path : paths_) unlink(path.c_str());
  rmdir(dir_.c_str());
  state.path1 = nullptr;
  state.path2 = nullptr;
  options = run_options{};
  char_map = identity_map;
}

std::string engine_test::make_file(const std::string& content) {
  std::string path = dir_ + "/f" + std::to_string(paths_.size());
  FILE* file = fopen(path.c_str(), "w");
  EXPECT_NE(file, nullptr);
  fwrite(content.data(), 1, content.size(), file);
  fclose(file);
  paths_.push_back(path);
  return path;
}

void engine_test::set_modes(bool blank_runs, bool all_blanks, bool fold_case) {
  options.blank_runs = blank_runs;
  options.all_blanks = all_blanks;
  options.fold_case = fold_case;
  char_map = fold_case ? fold_map : identity_map;
}

void engine_test::load_pair(const std::string& old_text, const std::string& new_text) {
  old_path_ = make_file(old_text);
  new_path_ = make_file(new_text);
  state.path1 = old_path_.data();
  state.path2 = new_path_.data();
  for (int file = 0; file < 2; ++file) {
    FILE* stream = fopen(file == 0 ? state.path1 : state.path2, "r");
    ASSERT_NE(stream, nullptr);
    load_line_table(file, stream);
    fclose(stream);
  }
}

void engine_test::match_pair(const std::string& old_text, const std::string& new_text) {
  // The tables a run keeps to its end; a test may match many pairs.
  for (void* table : {static_cast<void*>(match_vector), static_cast<void*>(old_offsets),
                      static_cast<void*>(new_offsets)})
    free_table(table);
  match_vector = nullptr;
  old_offsets = new_offsets = nullptr;
  load_pair(old_text, new_text);
  match_lines();
}

std::vector<int32_t> engine_test::matches() const {
  return std::vector<int32_t>(match_vector + 1, match_vector + 1 + line_count[0]);
}
