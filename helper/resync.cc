#include "helper/resync.h"

#include <cinttypes>
#include <cstdio>

#include "helper/line_window.h"

namespace {

// White space of the "C" locale; bytes from 0x80 up are never white space.
bool is_white(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The position after the white space that starts at i.
std::size_t skip_white(std::string_view text, std::size_t i) {
  ++i;
  while (i < text.size() && is_white(text[i])) ++i;
  return i;
}

// Sets equal when lines x0, x0+1, x0+2 of the first file equal lines x1,
// x1+1, x1+2 of the second. The last pair goes first: it holds a newly read
// line, so a place that does not match is usually given up after one
// comparison. False when a line could not be had.
bool three_equal(helper_state& state, std::int64_t x0, std::int64_t x1, bool& equal) {
  equal = false;
  for (int m = 2; m >= 0; --m) {
    std::string_view x, y;
    if (!get_line(state, 0, x0 + m, x) || !get_line(state, 1, x1 + m, y)) return false;
    if (!lines_equal(state, x, y)) return true;
  }
  equal = true;
  return true;
}

// Lists lines cur_line[f] to cur_line[f] + count of file f (none for -1;
// TO_END lists up to the end of the file, or TO_END + 1 lines at most), each
// after prefix, and drops them. False when a line could not be had.
bool list_side(helper_state& state, int f, std::int32_t count, const char* prefix) {
  const std::int64_t first = state.cur_line[f];
  std::int64_t last = first - 1;
  for (std::int64_t k = 0; k <= count; ++k) {
    std::string_view text;
    if (!get_line(state, f, first + k, text)) return false;
    if (text.empty()) break;
    std::fputs(prefix, stdout);
    std::fwrite(text.data(), 1, text.size(), stdout);
    drop_lines(state, f, first + k);
    last = first + k;
  }
  state.cur_line[f] = last;
  return true;
}

void print_header(const helper_state& state, std::int32_t a, std::int32_t b) {
  const std::int64_t l0 = state.cur_line[0];
  const std::int64_t l1 = state.cur_line[1];
  if (a == -1) {
    std::printf("%" PRId64 "a", l0 - 1);
    print_window_range(l1, b);
  } else if (b == -1) {
    print_window_range(l0, a);
    std::printf("d%" PRId64, l1 - 1);
  } else {
    print_window_range(l0, a);
    std::putchar('c');
    print_window_range(l1, b);
  }
  std::putchar('\n');
}

}  // namespace

bool lines_equal(const helper_state& state, std::string_view x, std::string_view y) {
  if (state.blank_runs == 0) return x == y;
  for (std::size_t i = 0, j = 0;; ++i, ++j) {
    if (i < x.size() && j < y.size() && is_white(x[i]) && is_white(y[j])) {
      i = skip_white(x, i);
      j = skip_white(y, j);
    }
    if (i == x.size()) return j == y.size();
    if (j == y.size() || x[i] != y[j]) return false;
  }
}

resync_outcome find_resync(helper_state& state) {
  const std::int64_t l0 = state.cur_line[0];
  const std::int64_t l1 = state.cur_line[1];
  // Reports the change a, b.
  const auto report = [&state](std::int32_t a, std::int32_t b) {
    return report_window_change(state, a, b) ? resync_outcome::found : resync_outcome::trouble;
  };
  std::string_view text;
  bool equal = false;
  for (int i = 1; i <= kLookAhead; ++i) {
    if (!get_line(state, 0, l0 + i, text)) return resync_outcome::trouble;
    if (text.empty()) return report(TO_END, TO_END);
    // Three equal lines ending at the line just read of the first file.
    for (int j = 0; j <= i - 3; ++j) {
      if (!three_equal(state, l0 + i - 2, l1 + j, equal)) return resync_outcome::trouble;
      if (equal) return report(i - 3, j - 1);
    }
    if (!get_line(state, 1, l1 + i, text)) return resync_outcome::trouble;
    if (text.empty()) return report(TO_END, TO_END);
    // Three equal lines ending at the line just read of the second file.
    for (int j = 0; j <= i - 2; ++j) {
      if (!three_equal(state, l0 + j, l1 + i - 2, equal)) return resync_outcome::trouble;
      if (equal) return report(j - 1, i - 3);
    }
  }
  return resync_outcome::none;
}

void print_window_range(std::int64_t x, std::int32_t n) {
  if (n == 0) {
    std::printf("%" PRId64, x);
  } else if (n == TO_END) {
    std::printf("%" PRId64 ",$", x);
  } else {
    std::printf("%" PRId64 ",%" PRId64, x, x + n);
  }
}

bool report_window_change(helper_state& state, std::int32_t a, std::int32_t b) {
  print_header(state, a, b);
  if (!list_side(state, 0, a, "< ")) return false;
  if (a != -1 && b != -1) std::fputs("---\n", stdout);
  return list_side(state, 1, b, "> ");
}

bool resync_failure(const helper_state& state) {
  std::printf("%" PRId64 ",$c%" PRId64 ",$\n", state.cur_line[0], state.cur_line[1]);
  std::fputs("---change record omitted\n", stdout);
  return helper_fail("can't resynchronize", "");
}
