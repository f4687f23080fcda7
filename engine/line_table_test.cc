#include "engine/line_table.h"

#include <gtest/gtest.h>

#include "base/table.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "engine/engine_test_files.h"

namespace {

class line_table_test : public engine_test {
 protected:
  // The hash of the first line of text under the current options.
  int32_t hash_of(const std::string& text) {
    std::string copy = text;
    FILE* stream = fmemopen(copy.data(), copy.size(), "r");
    EXPECT_NE(stream, nullptr);
    int32_t hash = hash_next_line(rules, stream);
    fclose(stream);
    return hash;
  }
};

struct worked_value {
  const char* name;
  std::string line;  // without its newline
  bool blank_runs, all_blanks, fold_case;
  int32_t hash;
};

using LineTable = line_table_test;

TEST_F(LineTable, WorkedValues) {
  const worked_value cases[] = {
      {"empty line", "", false, false, false, 1},
      {"ab", "ab", false, false, false, 12642},
      {"ab -b", "ab", true, false, false, 12642},
      {"ab -w", "ab", false, true, false, 12642},
      {"ab -i", "ab", false, false, true, 12642},
      {"AB -i", "AB", false, false, true, 12642},
      {"a b", "a b", false, false, false, 36986},
      {"a b -w", "a b", false, true, false, 12642},
      {"a b -b", "a b", true, false, false, 32890},
      {"blank run -b", "a  \t b", true, false, false, 32890},
      {"trailing blank -b", "a b ", true, false, false, 32890},
      {"leading blank -b", " a b", true, false, false, 15553},
      {"tab -w", "a\tb", false, true, false, 12642},
      {"-b and -w as -w", "a \t b", true, true, false, 12642},
      {"NUL advances the shift", std::string("a\0b", 3), false, false, false, 32890},
      // Seventeen bytes of 1: the shift runs once through all 16 positions
      // and starts again at 0, so the sum is 1 + 65535 + 1.
      {"shift cycle", std::string(17, '\x01'), false, false, false, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    set_modes(c.blank_runs, c.all_blanks, c.fold_case);
    EXPECT_EQ(hash_of(c.line + "\n"), c.hash);
  }
}

TEST_F(LineTable, CarriageReturnCountsInEveryMode) {
  for (int modes = 0; modes < 8; ++modes) {
    SCOPED_TRACE(modes);
    set_modes(modes & 1, modes & 2, modes & 4);
    EXPECT_NE(hash_of("a b\r\n"), hash_of("a b\n"));
  }
}

TEST_F(LineTable, FoldingUnderDashI) {
  struct fold_case {
    std::string a, b;
    bool fold_case;
    bool alike;
  };
  const fold_case cases[] = {
      {"[", "{", true, true},         {"_", "\x7F", true, true}, {"@", "`", true, true},
      {"Hello", "hELLO", true, true}, {"[", "{", false, false},  {"A", "a", false, false},
      {"\xC1", "\xE1", true, false},  // nothing from 0x80 up is folded
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.a + " / " + c.b);
    set_modes(false, false, c.fold_case);
    EXPECT_EQ(hash_of(c.a + "\n") == hash_of(c.b + "\n"), c.alike);
  }
}

TEST_F(LineTable, BlankModes) {
  set_modes(true, false, false);
  EXPECT_EQ(hash_of("a      b\n"), hash_of("a b\n"));
  EXPECT_NE(hash_of("a b\n"), hash_of("ab\n"));
  EXPECT_NE(hash_of(" a b\n"), hash_of("a b\n"));
  set_modes(false, true, false);
  EXPECT_EQ(hash_of("a b\n"), hash_of("ab\n"));
  EXPECT_EQ(hash_of(" a\tb  \n"), hash_of("ab\n"));
  // Only space and tab are blanks for the hash.
  EXPECT_NE(hash_of("a\fb\n"), hash_of("ab\n"));
}

TEST_F(LineTable, EndOfFileBeforeNewline) {
  EXPECT_EQ(hash_of("abc"), 0);
  EXPECT_EQ(hash_of(""), 0);
}

TEST_F(LineTable, LoadCountsOnlyFinishedLines) {
  struct load_case {
    std::string text;
    std::vector<int32_t> keys;
  };
  const load_case cases[] = {
      {"", {}},
      {"abc", {}},
      {"x\ny", {hash_of("x\n")}},
      {"ab\n\nab\n", {12642, 1, 12642}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const std::string path = make_file(c.text);
    FILE* stream = fopen(path.c_str(), "r");
    ASSERT_NE(stream, nullptr);
    getc(stream);  // loading rewinds first
    load_line_table(rules, 1, stream, path.c_str(), tables);
    fclose(stream);
    ASSERT_EQ(tables.line_count[1], static_cast<int32_t>(c.keys.size()));
    for (size_t j = 0; j < c.keys.size(); ++j)
      EXPECT_EQ(tables.line_table[1][j + 1].key, c.keys[j]);
  }
}

TEST_F(LineTable, LoadingHashesEveryLineAsTheLineReaderDoes) {
  std::mt19937 rng(17);
  const char bytes[] = {'a', 'B', ' ', ' ', '\t', '\r', '\n', '\n', '\0', '[', '{', '\x80', '\xE9'};
  std::uniform_int_distribution<size_t> pick(0, sizeof bytes - 1);
  std::string text;
  for (int n = 0; n < 200000; ++n) text += bytes[pick(rng)];
  // Lines of every byte value and of many lengths, so that whole runs of 16
  // bytes are hashed at once.
  std::uniform_int_distribution<int> byte(0, 255);
  for (int line = 0; line < 3000; ++line) {
    for (int n = line % 70; n > 0; --n) {
      int b = byte(rng);
      text += static_cast<char>(b == '\n' ? 'n' : b);
    }
    text += '\n';
  }
  // Lines of thousands of bytes of the top value, longer than the runs that
  // a vector lane can take before it is added up.
  for (int length : {4095, 4096, 4097, 8191, 9000, 12345})
    text += std::string(static_cast<size_t>(length), '\xFF') + "\n";
  // Lines longer than a read block, one of them blanks only, and a tail
  // without a newline.
  text += std::string(70000, 'x') + "\n" + std::string(140000, ' ') + "\n" +
          std::string(65535, 'y') + "\n" + std::string(65536, 'z') + "\ntail";
  const std::string path = make_file(text);
  // Every form of hashing whole lines that this processor has.
  for (hash_form form : {hash_form::plain, hash_form::vector, hash_form::wide_vector}) {
    if (!hash_form_available(form)) continue;
    for (int modes = 0; modes < 8; ++modes) {
      SCOPED_TRACE(std::to_string(static_cast<int>(form)) + " " + std::to_string(modes));
      set_modes(modes & 1, modes & 2, modes & 4);
      std::vector<int32_t> expected;
      FILE* lines = fopen(path.c_str(), "r");
      ASSERT_NE(lines, nullptr);
      for (int32_t hash; (hash = hash_next_line(rules, lines)) != 0;) expected.push_back(hash);
      fclose(lines);
      FILE* stream = fopen(path.c_str(), "r");
      load_line_table(rules, 0, stream, path.c_str(), tables, form);
      fclose(stream);
      ASSERT_EQ(tables.line_count[0], static_cast<int32_t>(expected.size()));
      for (size_t j = 0; j < expected.size(); ++j)
        ASSERT_EQ(tables.line_table[0][j + 1].key, expected[j]) << j;
    }
  }
}

}  // namespace
