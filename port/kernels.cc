#include "port/kernels.h"

#include <cstring>

#include "port/cpu.h"
#include "port/kernel_twins.h"
#include "port/port_config.h"

#if OVARN_HAVE_X86_VECTORS
#include <immintrin.h>
#endif

namespace {

// Line hashes. Whole lines under no option: every byte counts as itself and
// each line starts at shift 0, so the 16-byte runs of a line, its last
// partial run included, all take the shifts of kLineRunShifts.

// The portable form: a line is found with memchr and summed a run of 16
// bytes at a time.
int32_t hash_whole_lines_plain(const unsigned char* p, const unsigned char* end, int32_t* keys,
                               size_t stride, const unsigned char** rest) {
  int32_t count = 0;
  for (;;) {
    auto* newline = static_cast<const unsigned char*>(memchr(p, '\n', end - p));
    if (newline == nullptr) break;
    uint64_t sum = 1;
    const unsigned char* q = p;
    for (; newline - q >= 16; q += 16) {
      uint64_t run = 0;
      for (int k = 0; k < 16; ++k) run += static_cast<uint64_t>(q[k]) << kLineRunShifts[k];
      sum += run;
    }
    for (int k = 0; q < newline; ++q, ++k) sum += static_cast<uint64_t>(*q) << kLineRunShifts[k];
    keys[count++ * stride] = fold_line_sum(sum);
    p = newline + 1;
  }
  *rest = p;
  return count;
}

#if OVARN_HAVE_X86_VECTORS

// A run of 16 bytes widened to 32-bit lanes, each shifted as kLineRunShifts says;
// lane j gets bytes j and j + 8.
__attribute__((target("avx2"))) inline __m256i shifted_run(__m128i run) {
  const __m256i low_shifts = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kLineRunShifts));
  const __m256i high_shifts =
      _mm256_loadu_si256(reinterpret_cast<const __m256i*>(kLineRunShifts + 8));
  __m256i low = _mm256_sllv_epi32(_mm256_cvtepu8_epi32(run), low_shifts);
  __m256i high = _mm256_sllv_epi32(_mm256_cvtepu8_epi32(_mm_srli_si128(run, 8)), high_shifts);
  return _mm256_add_epi32(low, high);
}

// Added up in the vector and stored: 32-bit x86 has no move of a 64-bit
// lane into a general register.
__attribute__((target("avx2"))) inline uint64_t lane_total(__m256i lanes) {
  __m256i wide = _mm256_add_epi64(_mm256_cvtepu32_epi64(_mm256_castsi256_si128(lanes)),
                                  _mm256_cvtepu32_epi64(_mm256_extracti128_si256(lanes, 1)));
  __m128i half = _mm_add_epi64(_mm256_castsi256_si128(wide), _mm256_extracti128_si256(wide, 1));
  uint64_t total;
  _mm_storel_epi64(reinterpret_cast<__m128i*>(&total),
                   _mm_add_epi64(half, _mm_unpackhi_epi64(half, half)));
  return total;
}

// The sum of the line [p, newline). A lane takes at most 2 x 255 << 15 a
// run, so 256 runs fit its 32 bits before they are added up.
__attribute__((target("avx2"))) inline uint64_t vector_line_sum(const unsigned char* p,
                                                                const unsigned char* newline) {
  // Loaded at offset 16 - n, the first n bytes keep a run's first n bytes.
  alignas(32) static const unsigned char kKeep[32] = {
      0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
  uint64_t sum = 1;
  __m256i lanes = _mm256_setzero_si256();
  int runs = 0;
  for (; newline - p >= 16; p += 16) {
    lanes = _mm256_add_epi32(lanes, shifted_run(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p))));
    if (++runs == 256) {
      sum += lane_total(lanes);
      lanes = _mm256_setzero_si256();
      runs = 0;
    }
  }
  if (newline > p) {
    __m128i keep = _mm_loadu_si128(reinterpret_cast<const __m128i*>(kKeep + 16 - (newline - p)));
    __m128i run = _mm_and_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)), keep);
    lanes = _mm256_add_epi32(lanes, shifted_run(run));
  }
  return sum + lane_total(lanes);
}

// Newlines are found 32 bytes at a time.
__attribute__((target("avx2,bmi"))) int32_t hash_whole_lines_vector(const unsigned char* p,
                                                                     const unsigned char* end,
                                                                     int32_t* keys, size_t stride,
                                                                     const unsigned char** rest) {
  const __m256i newlines = _mm256_set1_epi8('\n');
  const unsigned char* line = p;
  int32_t count = 0;
  for (const unsigned char* chunk = p; chunk < end; chunk += 32) {
    __m256i bytes = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(chunk));
    auto found = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(bytes, newlines)));
    if (end - chunk < 32) found &= (uint32_t{1} << (end - chunk)) - 1;
    for (; found != 0; found &= found - 1) {
      const unsigned char* newline = chunk + __builtin_ctz(found);
      keys[count++ * stride] = fold_line_sum(vector_line_sum(line, newline));
      line = newline + 1;
    }
  }
  *rest = line;
  return count;
}

#if OVARN_HAVE_X86_64_VECTORS
// GCC 12 takes the unset operands inside its own 512-bit intrinsics for
// values that may be used uninitialized.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

// The same for lines of at most 64 bytes, which are most lines of text, with
// the 512-bit registers: the line is loaded whole under a mask, so no loop
// and no branch depends on its length. Each lane takes at most four terms of
// 255 << 15, so the 16 lanes' total fits 32 bits.
__attribute__((target("avx512f,avx512bw"))) inline uint64_t short_line_sum(
    const unsigned char* p, size_t length) {
  const __m512i shifts = _mm512_loadu_si512(kLineRunShifts);
  const __mmask64 keep = length == 64 ? ~__mmask64{0} : (__mmask64{1} << length) - 1;
  const __m512i bytes = _mm512_maskz_loadu_epi8(keep, p);
  __m512i lanes = _mm512_sllv_epi32(_mm512_cvtepu8_epi32(_mm512_castsi512_si128(bytes)), shifts);
  lanes = _mm512_add_epi32(
      lanes, _mm512_sllv_epi32(_mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(bytes, 1)), shifts));
  lanes = _mm512_add_epi32(
      lanes, _mm512_sllv_epi32(_mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(bytes, 2)), shifts));
  lanes = _mm512_add_epi32(
      lanes, _mm512_sllv_epi32(_mm512_cvtepu8_epi32(_mm512_extracti32x4_epi32(bytes, 3)), shifts));
  return 1 + static_cast<uint32_t>(_mm512_reduce_add_epi32(lanes));
}

// Newlines are found 64 bytes at a time.
__attribute__((target("avx512f,avx512bw,bmi"))) int32_t hash_whole_lines_wide(
    const unsigned char* p, const unsigned char* end, int32_t* keys, size_t stride,
    const unsigned char** rest) {
  const __m512i newlines = _mm512_set1_epi8('\n');
  const unsigned char* line = p;
  int32_t count = 0;
  for (const unsigned char* chunk = p; chunk < end; chunk += 64) {
    uint64_t found = _mm512_cmpeq_epi8_mask(_mm512_loadu_si512(chunk), newlines);
    if (end - chunk < 64) found &= (uint64_t{1} << (end - chunk)) - 1;
    for (; found != 0; found &= found - 1) {
      const unsigned char* newline = chunk + __builtin_ctzll(found);
      size_t length = static_cast<size_t>(newline - line);
      keys[count++ * stride] = fold_line_sum(length <= 64 ? short_line_sum(line, length)
                                                          : vector_line_sum(line, newline));
      line = newline + 1;
    }
  }
  *rest = line;
  return count;
}
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif
#endif  // OVARN_HAVE_X86_64_VECTORS
#endif  // OVARN_HAVE_X86_VECTORS

}  // namespace

bool hash_form_available(hash_form form) {
  switch (form) {
    case hash_form::wide_vector: return cpu_has(cpu_feature::avx512_bw);
    case hash_form::vector: return cpu_has(cpu_feature::avx2_bmi);
    case hash_form::plain: return true;
  }
  return false;
}

hash_form best_hash_form() {
  if (hash_form_available(hash_form::wide_vector)) return hash_form::wide_vector;
  if (hash_form_available(hash_form::vector)) return hash_form::vector;
  return hash_form::plain;
}

int32_t hash_whole_lines(hash_form form, const unsigned char* p, const unsigned char* end,
                         int32_t* keys, size_t stride, const unsigned char** rest) {
#if OVARN_HAVE_X86_64_VECTORS
  if (form == hash_form::wide_vector) return hash_whole_lines_wide(p, end, keys, stride, rest);
#endif
#if OVARN_HAVE_X86_VECTORS
  if (form == hash_form::vector) return hash_whole_lines_vector(p, end, keys, stride, rest);
#else
  (void)form;
#endif
  return hash_whole_lines_plain(p, end, keys, stride, rest);
}

// Line ends and equal lines, for verification.

int32_t find_line_ends_plain(const unsigned char* p, const unsigned char* end, int32_t most,
                             int64_t base, int64_t* offsets) {
  const unsigned char* start = p;
  int32_t n = 0;
  while (n < most) {
    auto* newline = static_cast<const unsigned char*>(memchr(p, '\n', end - p));
    if (newline == nullptr) break;
    p = newline + 1;
    offsets[n++] = base + (p - start);
  }
  return n;
}

// Line by line: each old line that lies whole in its buffer against the new
// line of the same length.
int32_t pass_equal_lines_plain(const line_run& old_run, const line_run& new_run,
                               const int32_t* pairs, int32_t first_new, int32_t most) {
  const unsigned char* o = old_run.start;
  const unsigned char* n = new_run.start;
  int32_t passed = 0;
  while (passed < most && (passed == 0 || pairs[passed] == first_new + passed)) {
    auto* newline = static_cast<const unsigned char*>(memchr(o, '\n', old_run.end - o));
    if (newline == nullptr) break;
    const size_t length = static_cast<size_t>(newline - o) + 1;
    if (static_cast<size_t>(new_run.end - n) < length || memcmp(o, n, length) != 0) break;
    o += length;
    n += length;
    old_run.offsets[passed] = old_run.base + (o - old_run.start);
    new_run.offsets[passed] = new_run.base + (n - new_run.start);
    ++passed;
  }
  return passed;
}

int32_t count_below_16_plain(const int32_t* first, int32_t y) {
  int32_t count = 0;
  for (int j = 0; j < 16; ++j) count += first[j] < y;
  return count;
}

namespace {

#if OVARN_HAVE_X86_VECTORS
// Newlines are found 32 bytes at a time; stops where fewer than 32 bytes are
// left.
__attribute__((target("avx2,bmi"))) int32_t find_line_ends_vector(const unsigned char* p,
                                                                  const unsigned char* end,
                                                                  int32_t most, int64_t base,
                                                                  int64_t* offsets) {
  const __m256i newlines = _mm256_set1_epi8('\n');
  const unsigned char* start = p;
  int32_t n = 0;
  for (; end - p >= 32 && n < most; p += 32) {
    auto found = static_cast<uint32_t>(_mm256_movemask_epi8(
        _mm256_cmpeq_epi8(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(p)), newlines)));
    for (; found != 0 && n < most; found &= found - 1)
      offsets[n++] = base + (p + __builtin_ctz(found) + 1 - start);
  }
  return n;
}

// While the bytes of both files agree, so do their newlines, and every line
// that ends in the agreeing bytes is a pair that agrees: compared 32 bytes
// at a time.
__attribute__((target("avx2,bmi"))) int32_t pass_equal_lines_vector(const line_run& old_run,
                                                                    const line_run& new_run,
                                                                    const int32_t* pairs,
                                                                    int32_t first_new,
                                                                    int32_t most) {
  const __m256i newlines = _mm256_set1_epi8('\n');
  const unsigned char* o = old_run.start;
  const unsigned char* n = new_run.start;
  int32_t passed = 0;
  while (old_run.end - o >= 32 && new_run.end - n >= 32) {
    __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(o));
    __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(n));
    auto same = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, b)));
    auto found = static_cast<uint32_t>(_mm256_movemask_epi8(_mm256_cmpeq_epi8(a, newlines)));
    if (same != ~uint32_t{0}) found &= (uint32_t{1} << __builtin_ctz(~same)) - 1;
    bool stop = same != ~uint32_t{0};
    for (; found != 0; found &= found - 1) {
      unsigned at = __builtin_ctz(found) + 1;  // just past the newline
      old_run.offsets[passed] = old_run.base + (o + at - old_run.start);
      new_run.offsets[passed] = new_run.base + (n + at - new_run.start);
      ++passed;
      if (passed == most || pairs[passed] != first_new + passed) {
        stop = true;
        break;
      }
    }
    if (stop) break;
    o += 32;
    n += 32;
  }
  return passed;
}
#endif

}  // namespace

int32_t find_line_ends(const unsigned char* p, const unsigned char* end, int32_t most,
                       int64_t base, int64_t* offsets) {
#if OVARN_HAVE_X86_VECTORS
  if (cpu_has(cpu_feature::avx2_bmi)) return find_line_ends_vector(p, end, most, base, offsets);
#endif
  return find_line_ends_plain(p, end, most, base, offsets);
}

int32_t pass_equal_lines(const line_run& old_run, const line_run& new_run, const int32_t* pairs,
                         int32_t first_new, int32_t most) {
#if OVARN_HAVE_X86_VECTORS
  if (cpu_has(cpu_feature::avx2_bmi))
    return pass_equal_lines_vector(old_run, new_run, pairs, first_new, most);
#endif
  return pass_equal_lines_plain(old_run, new_run, pairs, first_new, most);
}

int32_t count_below_16(const int32_t* first, int32_t y) {
#if OVARN_HAVE_X86_64_VECTORS
  // SSE2 belongs to every x86-64 processor: no probe. A 32-bit x86 one may
  // lack it, and a probe here would cost more than the vector saves.
  const __m128i bound = _mm_set1_epi32(y);
  int mask = 0;
  for (int j = 0; j < 4; ++j) {
    __m128i four = _mm_loadu_si128(reinterpret_cast<const __m128i*>(first + 4 * j));
    mask |= _mm_movemask_ps(_mm_castsi128_ps(_mm_cmplt_epi32(four, bound))) << (4 * j);
  }
  return __builtin_ctz(~mask);
#else
  return count_below_16_plain(first, y);
#endif
}

void next_bit_row(const uint64_t* from, const uint64_t* match, uint64_t* to, int32_t words) {
  uint64_t carry = 0;
  for (int32_t w = 0; w < words; ++w) {
    const uint64_t v = from[w];
    const uint64_t u = v & match[w];
#if OVARN_HAVE_WIDE_SUM
    // The compiler adds with the processor's carry, where the two compares
    // below cost a third more time.
    const unsigned __int128 total = static_cast<unsigned __int128>(v) + u + carry;
    carry = static_cast<uint64_t>(total >> 64);
    to[w] = static_cast<uint64_t>(total) | (v & ~u);
#else
    const uint64_t sum = v + u;
    const uint64_t total = sum + carry;
    carry = static_cast<uint64_t>(sum < v) | static_cast<uint64_t>(total < sum);
    to[w] = total | (v & ~u);
#endif
  }
}

// Line prints, for the check for files that share no line.

namespace {

uint32_t fnv_bytes(uint32_t hash, const unsigned char* p, const unsigned char* end) {
  for (; p < end; ++p) hash = (hash ^ *p) * 16777619u;
  return hash;
}

#if OVARN_HAVE_X86_VECTORS
__attribute__((target("sse4.2"))) uint32_t crc_bytes(uint32_t crc, const unsigned char* p,
                                                      const unsigned char* end) {
#if OVARN_HAVE_X86_64_VECTORS
  uint64_t wide = crc;
  for (; end - p >= 8; p += 8) {
    uint64_t word;
    memcpy(&word, p, 8);
    wide = _mm_crc32_u64(wide, word);
  }
  auto narrow = static_cast<uint32_t>(wide);
#else
  // 32-bit x86 takes 32-bit words; the CRC is the same.
  uint32_t narrow = crc;
  for (; end - p >= 4; p += 4) {
    uint32_t word;
    memcpy(&word, p, 4);
    narrow = _mm_crc32_u32(narrow, word);
  }
#endif
  for (; p < end; ++p) narrow = _mm_crc32_u8(narrow, *p);
  return narrow;
}
#endif

}  // namespace

uint32_t line_print_start() {
  return cpu_has(cpu_feature::sse42_crc) ? 0xFFFFFFFFu : 2166136261u;
}

uint32_t line_print(uint32_t value, const unsigned char* p, const unsigned char* end) {
#if OVARN_HAVE_X86_VECTORS
  if (cpu_has(cpu_feature::sse42_crc)) return crc_bytes(value, p, end);
#endif
  return fnv_bytes(value, p, end);
}
