// The change output driven from a hand-made match vector and offsets, so that
// the formats are checked independently of the matching.
#include "output/change_walk.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/match_result.h"
#include "output/print_request.h"
#include "tests/support/temp_dir.h"

namespace {

using enum output_format;

struct text_file {
  temp_dir dir;
  std::string path = dir / "text";
  std::vector<int64_t> offsets{0};

  explicit text_file(const std::vector<std::string>& lines, const std::string& tail = "") {
    std::string all;
    for (const auto& l : lines) {
      all += l + "\n";
      offsets.push_back(static_cast<int64_t>(all.size()));
    }
    all += tail;
    write_file(path, all);
  }
  int32_t count() const { return static_cast<int32_t>(offsets.size()) - 1; }
};

// What one run of the change output printed, and whether it reported a
// change.
struct emitted {
  std::string text;
  bool changes_found;
};

// Runs the change output for old and new with the given pairings (element i
// is the new line paired with old line i).
emitted run_emit(output_format format, const text_file& old_file, const text_file& new_file,
                 const std::vector<int32_t>& pairs, const char* symbol = "NAME",
                 int32_t context = 3, bool expand_tabs = false) {
  const print_request request{format, context, expand_tabs, symbol, old_file.path.c_str(),
                              new_file.path.c_str()};
  match_result result;
  result.line_count[0] = old_file.count();
  result.line_count[1] = new_file.count();
  result.match_vector = table<int32_t>(pairs.size() + 2);
  result.match_vector[0] = 0;
  for (size_t i = 0; i < pairs.size(); ++i) result.match_vector[i + 1] = pairs[i];
  for (int file = 0; file < 2; ++file) {
    const std::vector<int64_t>& from = (file == 0 ? old_file : new_file).offsets;
    table<int64_t>& to = file == 0 ? result.old_offsets : result.new_offsets;
    to = table<int64_t>(from.size() + 1);
    std::copy(from.begin(), from.end(), to.data());
  }
  ::testing::internal::CaptureStdout();
  const bool found = emit_changes(result, request);
  fflush(stdout);
  return emitted{::testing::internal::GetCapturedStdout(), found};
}

// What the change output prints.
std::string emit(output_format format, const text_file& old_file, const text_file& new_file,
                 const std::vector<int32_t>& pairs, const char* symbol = "NAME",
                 int32_t context = 3, bool expand_tabs = false) {
  return run_emit(format, old_file, new_file, pairs, symbol, context, expand_tabs).text;
}

struct format_case {
  output_format format;
  const char* expected;
};

TEST(EmitChanges, FirstWorkedExampleInEveryFormat) {
  text_file old_file({"a", "b", "c", "d", "e"});
  text_file new_file({"a", "c", "d", "X", "e", "f"});
  const format_case cases[] = {
      {FMT_NORMAL, "2d1\n< b\n4a4\n> X\n5a6\n> f\n"},
      {FMT_EDIT, "5a\nf\n.\n4a\nX\n.\n2d\n"},
      {FMT_REVERSE, "d2\na4\nX\n.\na5\nf\n.\n"},
      {FMT_NUMBERED, "d2 1\na4 1\nX\na5 1\nf\n"},
      {FMT_IFDEF,
       "a\n#ifndef NAME\nb\n#endif NAME\nc\nd\n#ifdef NAME\nX\n#endif NAME\ne\n"
       "#ifdef NAME\nf\n#endif NAME\n"},
  };
  for (const auto& c : cases) {
    const emitted out = run_emit(c.format, old_file, new_file, {1, 0, 2, 3, 5});
    EXPECT_EQ(out.text, c.expected) << static_cast<int>(c.format);
    EXPECT_TRUE(out.changes_found);
  }
}

TEST(EmitChanges, SecondWorkedExampleInEveryFormat) {
  text_file old_file({"a", "b", "c"});
  text_file new_file({"a", "x", "c"});
  const format_case cases[] = {
      {FMT_NORMAL, "2c2\n< b\n---\n> x\n"},
      {FMT_EDIT, "2c\nx\n.\n"},
      {FMT_REVERSE, "c2\nx\n.\n"},
      {FMT_NUMBERED, "d2 1\na2 1\nx\n"},
      {FMT_IFDEF, "a\n#ifndef NAME\nb\n#else NAME\nx\n#endif NAME\nc\n"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(emit(c.format, old_file, new_file, {1, 0, 3}), c.expected) << static_cast<int>(c.format);
  }
}

TEST(EmitChanges, ContextListingGroupsChangesThatLieClose) {
  text_file old_file({"a", "b", "c", "d", "e"});
  text_file new_file({"a", "c", "d", "X", "e", "f"});
  std::string out = emit(FMT_CONTEXT, old_file, new_file, {1, 0, 2, 3, 5}, "", 1);
  // Skip the two header lines.
  size_t body = out.find('\n', out.find('\n') + 1) + 1;
  EXPECT_EQ(out.substr(body),
            "***************\n*** 1,3 ****\n  a\n- b\n  c\n--- 1,2 ----\n"
            "***************\n*** 4,5 ****\n--- 3,6 ----\n  d\n+ X\n  e\n+ f\n");
  EXPECT_EQ(out.rfind("*** " + old_file.path + "\t", 0), 0u);
}

TEST(EmitChanges, EmptySidesPrintTheirBounds) {
  text_file empty({});
  text_file two({"x", "y"});
  EXPECT_EQ(emit(FMT_NORMAL, empty, two, {}), "0a1,2\n> x\n> y\n");
  EXPECT_EQ(emit(FMT_EDIT, empty, two, {}), "0a\nx\ny\n.\n");
  EXPECT_EQ(emit(FMT_REVERSE, empty, two, {}), "a0\nx\ny\n.\n");
  EXPECT_EQ(emit(FMT_NUMBERED, empty, two, {}), "a0 2\nx\ny\n");
  EXPECT_EQ(emit(FMT_NORMAL, two, empty, {0, 0}), "1,2d0\n< x\n< y\n");
  EXPECT_EQ(emit(FMT_EDIT, two, empty, {0, 0}), "1,2d\n");
  EXPECT_EQ(emit(FMT_REVERSE, two, empty, {0, 0}), "d1 2\n");
  EXPECT_EQ(emit(FMT_NUMBERED, two, empty, {0, 0}), "d1 2\n");
}

TEST(EmitChanges, MergedOutputCarriesTheOldTailAndNoSymbolBlocks) {
  text_file old_file({"a", "b"}, "tail");
  text_file new_file({"a", "x"}, "newtail");
  EXPECT_EQ(emit(FMT_IFDEF, old_file, new_file, {1, 0}, ""),
            "a\n#ifdef \nb\n#else \nx\n#endif \ntail");
  // Files whose lines all match still print the old text under -D.
  text_file same({"a", "x"}, "t");
  const emitted merged = run_emit(FMT_IFDEF, same, new_file, {1, 2});
  EXPECT_EQ(merged.text, "a\nx\nt");
  EXPECT_TRUE(merged.changes_found);
  const emitted listed = run_emit(FMT_NORMAL, same, new_file, {1, 2});
  EXPECT_EQ(listed.text, "");
  EXPECT_FALSE(listed.changes_found);
}

TEST(EmitChanges, TabsExpandToMultiplesOfEight) {
  text_file empty({});
  text_file tabs({"\tx", "abcdefg\th", "ab\tc\td", "abcdefgh\ti"});
  EXPECT_EQ(emit(FMT_NORMAL, empty, tabs, {}, "NAME", 3, true),
            "0a1,4\n>         x\n> abcdefg h\n> ab      c       d\n> abcdefgh        i\n");
  // Under -D only the lines inside blocks are expanded.
  text_file old_file({"\ta", "b"});
  text_file new_file({"\ta", "\tc"});
  EXPECT_EQ(emit(FMT_IFDEF, old_file, new_file, {1, 0}, "N", 3, true),
            "\ta\n#ifndef N\nb\n#else N\n        c\n#endif N\n");
}

}  // namespace
