#include "tests/property/random_pair.h"

#include <algorithm>
#include <cstdio>
#include <random>
#include <vector>

namespace {

// A generator whose results depend only on the seed (the standard
// distributions may differ between libraries).
struct dice {
  std::mt19937_64 engine;
  explicit dice(uint64_t seed) : engine(seed * 0x9E3779B97F4A7C15ull + 1) {}
  size_t below(size_t n) { return n == 0 ? 0 : engine() % n; }
  bool chance(int percent) { return below(100) < static_cast<size_t>(percent); }
};

// Lines without their newline, grouped by what they exercise.
std::vector<std::string> vocabulary(const pair_shape& shape) {
  std::vector<std::string> words = {
      "a", "b", "c", "d", "ab", "abc", "",                    // plain lines, the empty line
      "a b", "a  b", "a\tb", " a b", "a b ", "a b\t", "\ta",  // blanks for -b and -w
      "A", "B", "A B", "aB", "@", "`", "[x", "{x", "_", "\x7f",  // case for -i
  };
  if (shape.space_classes) {
    words.insert(words.end(), {"a\r", "\r", "a\rb", "a\vb", "a\fb"});
  }
  if (shape.nul_bytes) words.insert(words.end(), {std::string("a\0b", 3), std::string(1, '\0')});
  if (shape.dot_lines) words.insert(words.end(), {".", "."});
  if (shape.hash_lines) words.insert(words.end(), {"#x", "#if 0"});
  // Numbered lines, so that a large pool holds lines that seldom repeat.
  for (int k = 0; k < shape.max_pool; ++k) words.push_back("n" + std::to_string(k));
  if (shape.long_lines) {
    words.push_back(std::string(300, 'x'));
    words.push_back(std::string(300, 'x') + "y");  // differs from the line above past byte 254
    words.push_back(std::string(254, 'z'));         // exactly fills a helper line with its newline
    words.push_back(std::string(600, 'q'));
  }
  return words;
}

std::vector<std::string> pick_pool(dice& d, const std::vector<std::string>& words, int max_pool) {
  std::vector<std::string> pool;
  const size_t size = 2 + d.below(static_cast<size_t>(max_pool) - 1);
  for (size_t k = 0; k < size; ++k) pool.push_back(words[d.below(words.size())]);
  return pool;
}

std::vector<std::string> random_lines(dice& d, const std::vector<std::string>& pool, int max) {
  std::vector<std::string> lines;
  const size_t count = d.below(static_cast<size_t>(max) + 1);
  for (size_t k = 0; k < count; ++k) lines.push_back(pool[d.below(pool.size())]);
  return lines;
}

// A copy of lines with a few insertions, deletions and replacements.
std::vector<std::string> edited(dice& d, std::vector<std::string> lines,
                                const std::vector<std::string>& pool, int max_run) {
  const size_t edits = 1 + d.below(4);
  for (size_t k = 0; k < edits; ++k) {
    const size_t at = d.below(lines.size() + 1);
    const size_t run = 1 + d.below(static_cast<size_t>(max_run));
    switch (d.below(3)) {
      case 0:
        for (size_t r = 0; r < run; ++r) lines.insert(lines.begin() + at, pool[d.below(pool.size())]);
        break;
      case 1:
        lines.erase(lines.begin() + at, lines.begin() + std::min(lines.size(), at + run));
        break;
      default:
        if (at < lines.size()) lines[at] = pool[d.below(pool.size())];
    }
  }
  return lines;
}

std::string join(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line + "\n";
  return text;
}

// Bytes after the last newline: never empty, never a newline.
std::string partial_line(dice& d) { return d.chance(50) ? "tail" : "a"; }

}  // namespace

text_pair random_pair(uint64_t seed, const pair_shape& shape) {
  dice d(seed);
  const std::vector<std::string> pool = pick_pool(d, vocabulary(shape), shape.max_pool);
  std::vector<std::string> old_lines = random_lines(d, pool, shape.max_lines);
  std::vector<std::string> new_lines =
      d.chance(60) ? edited(d, old_lines, pool, shape.max_edit_run) : random_lines(d, pool, shape.max_lines);
  if (d.chance(6)) old_lines.clear();
  if (d.chance(6)) new_lines.clear();
  text_pair pair{join(old_lines), join(new_lines)};
  if (shape.old_partial_line && d.chance(15)) pair.old_text += partial_line(d);
  if (shape.new_partial_line && d.chance(15)) pair.new_text += partial_line(d);
  return pair;
}

std::string escape_text(const std::string& text) {
  std::string shown;
  for (unsigned char c : text) {
    if (c == '\n') {
      shown += "\\n\n";
    } else if (c == '\\') {
      shown += "\\\\";
    } else if (c < 0x20 || c >= 0x7f) {
      char code[8];
      snprintf(code, sizeof code, "\\x%02x", c);
      shown += code;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

std::string describe_pair(const text_pair& pair) {
  return "old file:\n" + escape_text(pair.old_text) + "\nnew file:\n" + escape_text(pair.new_text);
}
