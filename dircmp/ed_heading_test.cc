#include "dircmp/ed_heading.h"

#include <gtest/gtest.h>

namespace {

TEST(EdHeading, NamesTheEntryAsOneShellWord) {
  struct heading_case {
    const char* name;
    const char* word;
  };
  const heading_case cases[] = {
      {"x", "x"},
      {"file.c", "file.c"},
      {"A-Za_z0+9,:@%=.", "A-Za_z0+9,:@%=."},
      {"-x", "./-x"},
      {"--", "./--"},
      {"two words", "'two words'"},
      {"it's", "'it'\\''s'"},
      {"-it's", "'./-it'\\''s'"},
      {"$HOME", "'$HOME'"},
      {"a*b", "'a*b'"},
      {"back\\slash", "'back\\slash'"},
      {"tab\there", "'tab\there'"},
      {"caf\xc3\xa9", "'caf\xc3\xa9'"},
      {"'", "''\\'''"},
  };
  for (const heading_case& c : cases) {
    EXPECT_EQ(ed_file_word(c.name), c.word) << c.name;
    EXPECT_EQ(ed_heading(c.name), std::string("ed - ") + c.word + " << '-*-END-*-'\n");
  }
}

}  // namespace
