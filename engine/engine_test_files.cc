#include "engine/engine_test_files.h"

#include "engine/match_lines.h"

std::string text_of(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

void engine_test::SetUp() {
  dir_ = std::make_unique<temp_dir>();
  rules = line_rules{};
}

void engine_test::TearDown() { dir_.reset(); }

std::string engine_test::make_file(const std::string& content) {
  const std::string path = *dir_ / ("f" + std::to_string(files_made_++));
  write_file(path, content);
  return path;
}

void engine_test::set_modes(bool blank_runs, bool all_blanks, bool fold_case) {
  rules = make_line_rules(blank_runs, all_blanks, fold_case);
}

void engine_test::load_pair(const std::string& old_text, const std::string& new_text) {
  old_path_ = make_file(old_text);
  new_path_ = make_file(new_text);
  tables = line_tables{};
  for (int file = 0; file < 2; ++file) {
    const char* path = file == 0 ? old_path_.c_str() : new_path_.c_str();
    FILE* stream = fopen(path, "r");
    ASSERT_NE(stream, nullptr);
    load_line_table(rules, file, stream, path, tables);
    fclose(stream);
  }
}

void engine_test::match_pair(const std::string& old_text, const std::string& new_text) {
  load_pair(old_text, new_text);
  result = match_lines(rules, old_path_.c_str(), new_path_.c_str(), tables);
}

std::vector<int32_t> engine_test::load_classes(const std::string& old_text,
                                              const std::string& new_text,
                                              line_classes& classes) {
  load_pair(old_text, new_text);
  classes = line_classes{};
  build_line_classes(tables, classes);
  const int32_t* old_classes = classes.old_line_class.data();
  return std::vector<int32_t>(old_classes, old_classes + classes.sorted_count[0] + 1);
}

std::vector<std::pair<int32_t, int32_t>> chain_at(const candidate_search& search, int32_t k) {
  std::vector<std::pair<int32_t, int32_t>> chain;
  for (candidate c = candidate_at(search, chain_end(search, k)); c.new_pos != 0;
       c = candidate_at(search, c.prev))
    chain.emplace_back(c.old_pos, c.new_pos);
  return chain;
}

int32_t search_whole(candidate_search& search, const line_classes& classes,
                     const std::vector<int32_t>& old_classes) {
  std::vector<int32_t> books = old_classes;
  start_candidate_search(search, classes.sorted_count[0]);
  return find_candidates(search, books.data(), classes.sorted_count[0],
                         classes.new_class_list.data(), classes.sorted_count[1]);
}

std::vector<int32_t> engine_test::matches() const {
  const int32_t* v = result.match_vector.data();
  return std::vector<int32_t>(v + 1, v + 1 + result.line_count[0]);
}
