#include "tests/property/line_rules.h"

#include <algorithm>
#include <cstdio>

namespace {

// Case folding of the "C" locale as the programs do it: 0x40-0x5F move up by
// 0x20, every other byte stays.
int fold(int c) { return (c >= 0x40 && c <= 0x5F) ? c + 0x20 : c; }

bool is_space_class(int c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

struct cursor {
  const std::string& text;
  size_t at = 0;
  int next() { return at < text.size() ? static_cast<unsigned char>(text[at++]) : EOF; }
};

}  // namespace

line_options options_from(const std::vector<std::string>& args) {
  line_options options;
  for (const auto& arg : args) {
    if (arg.empty() || arg[0] != '-') continue;
    for (char letter : arg.substr(1)) {
      if (letter == 'b') options.blank_runs = true;
      if (letter == 'w') options.all_blanks = true;
      if (letter == 'i') options.fold_case = true;
    }
  }
  return options;
}

std::vector<std::string> complete_lines(const std::string& text) {
  std::vector<std::string> lines;
  size_t start = 0;
  for (size_t nl = text.find('\n'); nl != std::string::npos; nl = text.find('\n', start)) {
    lines.push_back(text.substr(start, nl + 1 - start));
    start = nl + 1;
  }
  return lines;
}

int32_t line_hash(const std::string& line, const line_options& options) {
  const bool blank_modes = options.blank_runs || options.all_blanks;
  uint64_t sum = 1;
  unsigned shift = 0;
  int pending_blanks = 0;
  for (unsigned char byte : line) {
    if (byte == '\n') break;
    if (blank_modes && (byte == ' ' || byte == '\t')) {
      ++pending_blanks;
      continue;
    }
    if (blank_modes && !options.all_blanks && pending_blanks > 0) {
      shift += 7;
      pending_blanks = 0;
    }
    const unsigned s = shift % 16;
    const uint64_t value = options.fold_case ? fold(byte) : byte;
    sum += value << s;
    shift = s + 7;
  }
  const uint64_t t = (sum >> 16) + (sum & 0xFFFF);
  return static_cast<int32_t>(static_cast<uint32_t>((t >> 16) + (t & 0xFFFF)));
}

bool lines_agree(const std::string& x, const std::string& y, const line_options& options) {
  if (!options.blank_runs && !options.all_blanks && !options.fold_case) return x == y;
  cursor old_side{x}, new_side{y};
  auto map = [&](int c) { return options.fold_case && c != EOF ? fold(c) : c; };
  for (;;) {
    int c = old_side.next();
    int d = new_side.next();
    if (options.blank_runs && is_space_class(c) && is_space_class(d)) {
      if (c != '\n') {
        do c = old_side.next(); while (is_space_class(c) && c != '\n');
      }
      if (d != '\n') {
        do d = new_side.next(); while (is_space_class(d) && d != '\n');
      }
    } else if (options.all_blanks) {
      while (is_space_class(c) && c != '\n') c = old_side.next();
      while (is_space_class(d) && d != '\n') d = new_side.next();
    }
    if (map(c) != map(d)) return false;
    if (c == '\n' || c == EOF) return true;
  }
}

bool hashes_match_agreement(const std::vector<std::string>& old_lines,
                            const std::vector<std::string>& new_lines,
                            const line_options& options) {
  for (const auto& x : old_lines) {
    for (const auto& y : new_lines) {
      if ((line_hash(x, options) == line_hash(y, options)) != lines_agree(x, y, options)) {
        return false;
      }
    }
  }
  return true;
}

int longest_common_subsequence(const std::vector<std::string>& old_lines,
                               const std::vector<std::string>& new_lines,
                               const line_options& options) {
  const size_t m = old_lines.size(), n = new_lines.size();
  std::vector<std::vector<int>> best(m + 1, std::vector<int>(n + 1, 0));
  for (size_t i = 1; i <= m; ++i) {
    for (size_t j = 1; j <= n; ++j) {
      best[i][j] = lines_agree(old_lines[i - 1], new_lines[j - 1], options)
                       ? best[i - 1][j - 1] + 1
                       : std::max(best[i - 1][j], best[i][j - 1]);
    }
  }
  return static_cast<int>(best[m][n]);
}
