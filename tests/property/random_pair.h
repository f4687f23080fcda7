// Seeded random pairs of text files for the property suite. Lines come from a
// small vocabulary so that they repeat; the shape says which kinds of line
// and ending a property can accept. The same seed and shape always give the
// same pair.
#ifndef OVARN_TESTS_PROPERTY_RANDOM_PAIR_H_
#define OVARN_TESTS_PROPERTY_RANDOM_PAIR_H_

#include <cstdint>
#include <string>

struct pair_shape {
  int max_lines = 16;             // lines of the first file, before the edits
  bool dot_lines = true;          // lines that are a single "."
  bool nul_bytes = true;          // NUL bytes inside lines
  bool long_lines = true;         // lines of more than 254 bytes
  bool old_partial_line = true;   // the old file may end without a newline
  bool new_partial_line = true;   // the new file may end without a newline
  bool hash_lines = true;         // lines beginning with '#'
  bool space_classes = true;      // carriage return, vertical tab, form feed
  int max_edit_run = 3;           // longest run of lines one edit inserts or deletes
  int max_pool = 8;               // most distinct lines in one pair (fewer repeat more)
};

struct text_pair {
  std::string old_text;
  std::string new_text;
};

text_pair random_pair(uint64_t seed, const pair_shape& shape);

// The pair in a form fit for a failure message: bytes outside printable
// ASCII are escaped.
std::string describe_pair(const text_pair& pair);
std::string escape_text(const std::string& text);

#endif  // OVARN_TESTS_PROPERTY_RANDOM_PAIR_H_
