#include "engine/line_table.h"

#include <sys/stat.h>

#include <cstdlib>
#include <cstring>

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

#include "cli/exit_run.h"
#include "cli/run_options.h"
#include "engine/new_table.h"
#include "engine/run_both.h"
#include "engine/table_growth.h"

// Sixteen consecutive byte values starting at b.
#define BYTE_ROW(b)                                                          \
  (b) + 0, (b) + 1, (b) + 2, (b) + 3, (b) + 4, (b) + 5, (b) + 6, (b) + 7,    \
      (b) + 8, (b) + 9, (b) + 10, (b) + 11, (b) + 12, (b) + 13, (b) + 14, (b) + 15

const unsigned char identity_map[256] = {
    BYTE_ROW(0x00), BYTE_ROW(0x10), BYTE_ROW(0x20), BYTE_ROW(0x30),
    BYTE_ROW(0x40), BYTE_ROW(0x50), BYTE_ROW(0x60), BYTE_ROW(0x70),
    BYTE_ROW(0x80), BYTE_ROW(0x90), BYTE_ROW(0xA0), BYTE_ROW(0xB0),
    BYTE_ROW(0xC0), BYTE_ROW(0xD0), BYTE_ROW(0xE0), BYTE_ROW(0xF0),
};

// 0x40-0x5F fold onto 0x60-0x7F: the capitals and the five signs around them.
const unsigned char fold_map[256] = {
    BYTE_ROW(0x00), BYTE_ROW(0x10), BYTE_ROW(0x20), BYTE_ROW(0x30),
    BYTE_ROW(0x60), BYTE_ROW(0x70), BYTE_ROW(0x60), BYTE_ROW(0x70),
    BYTE_ROW(0x80), BYTE_ROW(0x90), BYTE_ROW(0xA0), BYTE_ROW(0xB0),
    BYTE_ROW(0xC0), BYTE_ROW(0xD0), BYTE_ROW(0xE0), BYTE_ROW(0xF0),
};

#undef BYTE_ROW

const unsigned char* char_map = identity_map;
line_entry* line_table[2] = {nullptr, nullptr};
int32_t line_count[2] = {0, 0};
line_mark* line_marks[2] = {nullptr, nullptr};
int32_t line_mark_count[2] = {0, 0};

namespace {

// The hash of a line so far. Both readers below feed it the same bytes in
// the same order, so they give the same hashes.
struct line_hash {
  uint64_t sum = 1;
  unsigned shift = 0;  // kept below 16 between bytes
  bool pending_blanks = false;
};

// How the options make a byte count.
struct hash_mode {
  bool blank_modes;         // -b or -w: spaces and tabs count for nothing
  bool mark_runs;           // -b without -w: a run of them moves the shift on
  const unsigned char* map; // the byte's value
};

hash_mode current_mode() {
  bool blank_modes = options.blank_runs || options.all_blanks;
  // Without -b, -w or -i the byte counts as itself.
  const unsigned char* map = blank_modes || options.fold_case ? char_map : identity_map;
  return hash_mode{blank_modes, blank_modes && options.all_blanks == 0, map};
}

// The shift of each byte of a run of 16 counted bytes that starts at shift 0.
constexpr unsigned kRunShifts[16] = {0, 7, 14, 5, 12, 3, 10, 1, 8, 15, 6, 13, 4, 11, 2, 9};

// Takes the bytes [p, end) of a line, none of them its newline.
inline void feed_bytes(line_hash& hash, const unsigned char* p, const unsigned char* end,
                       const hash_mode& mode) {
  uint64_t sum = hash.sum;
  unsigned shift = hash.shift;
  if (!mode.blank_modes) {
    // Every byte counts, so the shift runs through its 16 positions once per
    // 16 bytes: whole runs of 16 take fixed shifts and add up independently.
    if (shift == 0) {
      const bool as_is = mode.map == identity_map;
      for (; end - p >= 16; p += 16) {
        uint64_t run = 0;
        for (int k = 0; k < 16; ++k)
          run += static_cast<uint64_t>(as_is ? p[k] : mode.map[p[k]]) << kRunShifts[k];
        sum += run;
      }
    }
    for (; p < end; ++p) {
      sum += static_cast<uint64_t>(mode.map[*p]) << shift;
      shift = (shift + 7) & 15;  // the shift cycles through 16 positions
    }
  } else {
    bool pending = hash.pending_blanks;
    for (; p < end; ++p) {
      unsigned char b = *p;
      if (b == ' ' || b == '\t') {
        pending = true;
        continue;
      }
      if (mode.mark_runs && pending) shift = (shift + 7) & 15;
      pending = false;
      sum += static_cast<uint64_t>(mode.map[b]) << shift;
      shift = (shift + 7) & 15;
    }
    hash.pending_blanks = pending;
  }
  hash.sum = sum;
  hash.shift = shift;
}

// Folds the 64-bit sum into the line's hash, twice 16 bits onto 16 bits.
int32_t fold_sum(uint64_t sum) {
  uint64_t t = (sum >> 16) + (sum & 0xFFFF);
  return static_cast<int32_t>(static_cast<uint32_t>((t >> 16) + (t & 0xFFFF)));
}

// Whole lines under no option: every byte counts as itself and each line
// starts at shift 0, so the 16-byte runs of a line, its last partial run
// included, all take the shifts of kRunShifts. The vector forms below write
// the hash of every line that ends in [p, end) into out[0..], p being the start
// of a line; they return the number of lines and set *rest to the byte after
// the last newline. At least kBlockPadding bytes after end must be readable.
constexpr size_t kBlockPadding = 64;

#if defined(__x86_64__) && defined(__GNUC__)
#define OVARN_VECTOR_HASH 1

// A run of 16 bytes widened to 32-bit lanes, each shifted as kRunShifts says;
// lane j gets bytes j and j + 8.
__attribute__((target("avx2"))) inline __m256i shifted_run(__m128i run) {
  const __m256i low_shifts = _mm256_setr_epi32(0, 7, 14, 5, 12, 3, 10, 1);
  const __m256i high_shifts = _mm256_setr_epi32(8, 15, 6, 13, 4, 11, 2, 9);
  __m256i low = _mm256_sllv_epi32(_mm256_cvtepu8_epi32(run), low_shifts);
  __m256i high = _mm256_sllv_epi32(_mm256_cvtepu8_epi32(_mm_srli_si128(run, 8)), high_shifts);
  return _mm256_add_epi32(low, high);
}

__attribute__((target("avx2"))) inline uint64_t lane_total(__m256i lanes) {
  __m256i wide = _mm256_add_epi64(_mm256_cvtepu32_epi64(_mm256_castsi256_si128(lanes)),
                                  _mm256_cvtepu32_epi64(_mm256_extracti128_si256(lanes, 1)));
  __m128i half = _mm_add_epi64(_mm256_castsi256_si128(wide), _mm256_extracti128_si256(wide, 1));
  return static_cast<uint64_t>(_mm_cvtsi128_si64(half)) +
         static_cast<uint64_t>(_mm_extract_epi64(half, 1));
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
                                                                     line_entry* out,
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
      out[count++].key = fold_sum(vector_line_sum(line, newline));
      line = newline + 1;
    }
  }
  *rest = line;
  return count;
}

// GCC 12 takes the unset operands inside its own 512-bit intrinsics for
// values that may be used uninitialized.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"

// The same for lines of at most 64 bytes, which are most lines of text, with
// the 512-bit registers: the line is loaded whole under a mask, so no loop
// and no branch depends on its length. Each lane takes at most four terms of
// 255 << 15, so the 16 lanes' total fits 32 bits.
__attribute__((target("avx512f,avx512bw"))) inline uint64_t short_line_sum(
    const unsigned char* p, size_t length) {
  const __m512i shifts =
      _mm512_setr_epi32(0, 7, 14, 5, 12, 3, 10, 1, 8, 15, 6, 13, 4, 11, 2, 9);
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
    const unsigned char* p, const unsigned char* end, line_entry* out,
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
      out[count++].key =
          fold_sum(length <= 64 ? short_line_sum(line, length) : vector_line_sum(line, newline));
      line = newline + 1;
    }
  }
  *rest = line;
  return count;
}
#pragma GCC diagnostic pop
#endif

bool processor_has(hash_form form) {
#ifdef OVARN_VECTOR_HASH
  static const bool vector = __builtin_cpu_supports("avx2") && __builtin_cpu_supports("bmi");
  static const bool wide =
      vector && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw");
  if (form == hash_form::wide_vector) return wide;
  if (form == hash_form::vector) return vector;
#endif
  return form == hash_form::plain;
}

hash_form& form_in_use() {
  static hash_form form = processor_has(hash_form::wide_vector) ? hash_form::wide_vector
                          : processor_has(hash_form::vector)    ? hash_form::vector
                                                                : hash_form::plain;
  return form;
}

// Only for the vector forms; the plain form takes whole lines one by one
// like any other.
int32_t hash_whole_lines(const unsigned char* p, const unsigned char* end, line_entry* out,
                         const unsigned char** rest) {
#ifdef OVARN_VECTOR_HASH
  if (form_in_use() == hash_form::wide_vector) return hash_whole_lines_wide(p, end, out, rest);
  return hash_whole_lines_vector(p, end, out, rest);
#else
  *rest = p;
  return 0;
#endif
}

// The line table being filled: entries 1..count hold lines, and there is
// room for capacity entries in all.
struct table_fill {
  line_entry* table;
  int32_t count;
  uint64_t capacity;
};

void make_room(table_fill& fill, uint64_t lines) {
  // The lines and the two spare entries after them.
  uint64_t needed = static_cast<uint64_t>(fill.count) + 1 + lines + 2;
  fill.table =
      static_cast<line_entry*>(grow_table(fill.table, needed, sizeof(line_entry), &fill.capacity));
}

void add_line(table_fill& fill, int32_t hash) {
  make_room(fill, 1);
  fill.table[++fill.count].key = hash;
}

// The marks of the file being loaded.
struct mark_fill {
  line_mark* marks;
  int32_t count;
  uint64_t capacity;
};

void add_mark(mark_fill& fill, int32_t lines_before, int64_t offset) {
  uint64_t needed = static_cast<uint64_t>(fill.count) + 1;
  fill.marks =
      static_cast<line_mark*>(grow_table(fill.marks, needed, sizeof(line_mark), &fill.capacity));
  fill.marks[fill.count++] = line_mark{lines_before, offset};
}

// Reads the file in large blocks and hashes each line where it lies in the
// block; a line that runs over the end of a block goes on in the next one,
// through the byte-by-byte form of the hash. A last line without its
// newline is dropped.
void hash_all_lines(FILE* stream, table_fill& fill, mark_fill& marks) {
  constexpr size_t kBlockBytes = size_t{1} << 16;
  constexpr int kBlocksPerMark = 16;
  unsigned char* block =
      static_cast<unsigned char*>(checked_alloc(kBlockBytes + kBlockPadding));
  memset(block, 0, kBlockBytes + kBlockPadding);
  const hash_mode mode = current_mode();
  const bool whole_runs =
      !mode.blank_modes && mode.map == identity_map && form_in_use() != hash_form::plain;
  line_hash hash;
  bool in_line = false;  // a line began in an earlier block
  int64_t block_offset = 0;
  for (size_t count, blocks = 0; (count = fread(block, 1, kBlockBytes, stream)) > 0;
       block_offset += static_cast<int64_t>(count)) {
    const unsigned char* p = block;
    const unsigned char* end = block + count;
    bool mark_due = blocks++ % kBlocksPerMark == 0;  // at the first line to begin in the block
    while (p < end) {
      if (mark_due && !in_line) {
        add_mark(marks, fill.count, block_offset + (p - block));
        mark_due = false;
      }
      if (whole_runs && !in_line) {
        make_room(fill, count);
        fill.count += hash_whole_lines(p, end, fill.table + fill.count + 1, &p);
        if (p == end) break;
      }
      auto* newline = static_cast<const unsigned char*>(memchr(p, '\n', end - p));
      feed_bytes(hash, p, newline != nullptr ? newline : end, mode);
      in_line = newline == nullptr;
      if (in_line) break;
      add_line(fill, fold_sum(hash.sum));
      hash = line_hash{};
      p = newline + 1;
    }
  }
  free(block);
}

// A thread pays for itself on files of a megabyte or so; a small pair is
// read quicker without one.
bool worth_a_thread(FILE* old_stream, FILE* new_stream) {
  struct stat old_status, new_status;
  if (fstat(fileno(old_stream), &old_status) != 0 || fstat(fileno(new_stream), &new_status) != 0)
    return false;
  return old_status.st_size + new_status.st_size >= (off_t{1} << 20);
}

}  // namespace

bool use_hash_form(hash_form form) {
  if (!processor_has(form)) return false;
  form_in_use() = form;
  return true;
}

int32_t hash_next_line(FILE* stream) {
  const hash_mode mode = current_mode();
  line_hash hash;
  for (;;) {
    int b = getc_unlocked(stream);
    if (b == '\n') return fold_sum(hash.sum);
    if (b == EOF) return 0;
    auto byte = static_cast<unsigned char>(b);
    feed_bytes(hash, &byte, &byte + 1, mode);
  }
}

void load_line_table(int file, FILE* stream) {
  fseek(stream, 0, SEEK_SET);
  table_fill fill{static_cast<line_entry*>(new_table(3, sizeof(line_entry))), 0, 3};
  free_table(line_marks[file]);
  mark_fill marks{static_cast<line_mark*>(new_table(1, sizeof(line_mark))), 0, 1};
  hash_all_lines(stream, fill, marks);
  line_marks[file] = marks.marks;
  line_mark_count[file] = marks.count;
  // The table keeps exactly its lines and the three entries around them.
  line_table[file] = static_cast<line_entry*>(
      resize_table(fill.table, static_cast<uint64_t>(fill.count) + 3, sizeof(line_entry)));
  line_count[file] = fill.count;
}

void load_line_tables(FILE* old_stream, FILE* new_stream) {
  run_both(worth_a_thread(old_stream, new_stream),[old_stream] { load_line_table(0, old_stream); },
           [new_stream] { load_line_table(1, new_stream); });
}
