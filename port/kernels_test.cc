#include "port/kernels.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "port/cpu.h"
#include "port/kernel_twins.h"

namespace {

// Texts whose line ends fall where the vector forms change step: around the
// 16-, 32- and 64-byte loads, at the last bytes of a buffer, and past the
// 4096 bytes a 32-bit lane of the line hash takes before it is added up.
struct kernel_case {
  const char* name;
  std::vector<int> lengths;  // of the lines, newline not counted
  bool tail;                 // a last line without its newline
};

std::string text_of(const kernel_case& c, std::mt19937& rng) {
  std::uniform_int_distribution<int> byte(0, 255);
  std::string text;
  for (int length : c.lengths) {
    for (int k = 0; k < length; ++k) {
      const int b = byte(rng);
      text += static_cast<char>(b == '\n' ? 0xFF : b);
    }
    text += '\n';
  }
  if (c.tail) text += "tail";
  return text;
}

const kernel_case kCases[] = {
    {"Empty", {}, false},
    {"BlankLines",
     {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
      0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
     false},
    {"AroundSixteen", {14, 15, 16, 17, 15, 16, 31, 32, 33}, true},
    {"AroundThirtyTwo", {30, 31, 32, 33, 63, 64, 65, 31, 0, 32}, false},
    {"AroundSixtyFour", {62, 63, 64, 65, 66, 127, 128, 129, 1}, true},
    {"LongerThanALane", {4095, 4096, 4097, 8191, 9000}, false},
};

// The buffer of text at offset align of a block with room for the padding
// the kernels read past the end.
struct placed {
  std::vector<unsigned char> block;
  const unsigned char* start;
  const unsigned char* end;
};

placed place(const std::string& text, size_t align) {
  placed p;
  p.block.assign(align + text.size() + kKernelPadding + 64, 'p');
  memcpy(p.block.data() + align, text.data(), text.size());
  p.start = p.block.data() + align;
  p.end = p.start + text.size();
  return p;
}

// The vector forms read whole blocks of 32 bytes from start and may leave
// the line ends of a last, shorter block to the caller: the offsets they
// find are the first ones the twin finds, and any further ones lie there.
void expect_prefix(const std::vector<int64_t>& vector, int32_t found,
                   const std::vector<int64_t>& plain, int32_t plain_found,
                   int64_t whole_blocks_end) {
  ASSERT_LE(found, plain_found);
  for (int32_t k = 0; k < found; ++k) ASSERT_EQ(vector[k], plain[k]) << k;
  if (found < plain_found) {
    EXPECT_GT(plain[found], whole_blocks_end) << found;
  }
}

TEST(Kernels, VectorFormsAgreeWithTheirPortableTwins) {
  std::mt19937 rng(23);
  const bool have_vectors = cpu_has(cpu_feature::avx2_bmi);
  for (const kernel_case& c : kCases) {
    const std::string text = text_of(c, rng);
    for (size_t align = 0; align < 64; ++align) {
      SCOPED_TRACE(std::string(c.name) + " at offset " + std::to_string(align));
      const placed at = place(text, align);
      const int64_t length = at.end - at.start;

      // The line hash in every form this processor has, against the plain.
      std::vector<int32_t> plain_keys(text.size() + 1), keys(text.size() + 1);
      const unsigned char* plain_rest;
      const int32_t lines =
          hash_whole_lines(hash_form::plain, at.start, at.end, plain_keys.data(), 1, &plain_rest);
      for (hash_form form : {hash_form::vector, hash_form::wide_vector}) {
        if (!hash_form_available(form)) continue;
        const unsigned char* rest;
        ASSERT_EQ(hash_whole_lines(form, at.start, at.end, keys.data(), 1, &rest), lines);
        ASSERT_EQ(rest, plain_rest);
        for (int32_t k = 0; k < lines; ++k) ASSERT_EQ(keys[k], plain_keys[k]) << k;
      }
      if (!have_vectors) continue;  // the kernels below choose by the same probe

      // Line ends, with room for all of them and with room for three.
      const int64_t whole_blocks_end = length / 32 * 32;
      std::vector<int64_t> plain_ends(text.size() + 1), ends(text.size() + 1);
      for (int32_t most : {static_cast<int32_t>(text.size()) + 1, 3}) {
        const int32_t plain_found =
            find_line_ends_plain(at.start, at.end, most, 5, plain_ends.data());
        const int32_t found = find_line_ends(at.start, at.end, most, 5, ends.data());
        expect_prefix(ends, found, plain_ends, plain_found, 5 + whole_blocks_end);
      }

      // Equal lines, against a copy whose last byte differs, and with the
      // pairs running out after the fourth line.
      std::string changed = text;
      if (!changed.empty()) changed.back() ^= 1;
      const placed other = place(changed, (align * 7) % 64);
      // At least five entries: the broken pass cuts the pairs at the fourth.
      std::vector<int32_t> pairs(std::max<size_t>(text.size() + 2, 5));
      for (size_t k = 0; k < pairs.size(); ++k) pairs[k] = 10 + static_cast<int32_t>(k);
      for (bool broken : {false, true}) {
        if (broken) pairs[4] = 0;
        std::vector<int64_t> old_plain(text.size() + 1), new_plain(text.size() + 1);
        std::vector<int64_t> old_vector(text.size() + 1), new_vector(text.size() + 1);
        const int32_t most = static_cast<int32_t>(text.size()) + 1;
        const int32_t plain_passed = pass_equal_lines_plain(
            line_run{at.start, at.end, 0, old_plain.data()},
            line_run{other.start, other.end, 0, new_plain.data()}, pairs.data(), 10, most);
        const int32_t passed = pass_equal_lines(
            line_run{at.start, at.end, 0, old_vector.data()},
            line_run{other.start, other.end, 0, new_vector.data()}, pairs.data(), 10, most);
        expect_prefix(old_vector, passed, old_plain, plain_passed, whole_blocks_end);
        expect_prefix(new_vector, passed, new_plain, plain_passed, whole_blocks_end);
      }
    }
  }
}

TEST(Kernels, CountBelowSixteenAgreesWithItsPortableTwin) {
  // Rising values with runs of equal ones, and bounds at, between and
  // beyond them.
  int32_t values[16];
  for (int j = 0; j < 16; ++j) values[j] = -40 + (j / 2) * 10;
  for (int32_t y = -50; y <= 50; ++y) {
    ASSERT_EQ(count_below_16(values, y), count_below_16_plain(values, y)) << y;
  }
  const int32_t extremes[16] = {INT32_MIN, INT32_MIN, -1, 0, 0, 1, 2,         3,
                                4,         5,         6,  7, 8, 9, INT32_MAX, INT32_MAX};
  for (int32_t y : {INT32_MIN, -1, 0, 1, 9, INT32_MAX}) {
    ASSERT_EQ(count_below_16(extremes, y), count_below_16_plain(extremes, y)) << y;
  }
}

}  // namespace
