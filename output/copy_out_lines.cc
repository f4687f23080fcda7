#include "output/copy_out_lines.h"

#include <algorithm>

#include "cli/run_options.h"

int32_t open_block = 0;
const char* block_label = nullptr;

namespace {

// Moves the stream to offset, without a seek when it already stands there,
// so that consecutive lines are read through one stream buffer.
void seek_to(FILE* stream, int64_t offset) {
  if (ftello(stream) != offset) fseeko(stream, offset, SEEK_SET);
}

// Copies count bytes from the stream unchanged.
void copy_bytes(FILE* stream, int64_t count) {
  char block[65536];
  while (count > 0) {
    size_t want = static_cast<size_t>(std::min<int64_t>(count, sizeof block));
    size_t got = fread(block, 1, want, stream);
    if (got == 0) return;
    fwrite(block, 1, got, stdout);
    count -= static_cast<int64_t>(got);
  }
}

// Copies count bytes, each tab widened with blanks to the next multiple of 8
// columns; the column starts at 0 and every other byte counts one.
void copy_bytes_expanding_tabs(FILE* stream, int64_t count) {
  int64_t column = 0;
  for (; count > 0; --count) {
    int ch = getc_unlocked(stream);
    if (ch == EOF) return;
    if (ch == '\t') {
      do {
        putc_unlocked(' ', stdout);
        ++column;
      } while (column % 8 != 0);
    } else {
      putc_unlocked(ch, stdout);
      ++column;
    }
  }
}

// Copy-through of the merged output: the old text between where the stream
// stands and target, unchanged.
void copy_through(FILE* stream, int64_t target) {
  int64_t position = ftello(stream);
  if (target > position) copy_bytes(stream, target - position);
}

void open_conditional_block(int32_t old_side) {
  if (open_block != 0) {
    printf("#else %s%s\n", "", options.ifdef_new);
  } else if ((options.ifdef_old[0] != '\0') != (options.ifdef_new[0] != '\0')) {
    block_label = options.ifdef_new;
    printf(old_side ? "#ifndef %s\n" : "#ifdef %s\n", options.ifdef_new);
  } else {
    block_label = old_side ? options.ifdef_old : options.ifdef_new;
    printf("#ifdef %s\n", block_label);
  }
  open_block = old_side + 1;
}

}  // namespace

void copy_out_lines(const int64_t* offsets, int32_t a, int32_t b, FILE* stream,
                    const char* prefix, int32_t old_side) {
  const bool merged = options.output_format == FMT_IFDEF;
  if (merged && old_side == 1) copy_through(stream, a <= b ? offsets[a - 1] : offsets[b]);
  if (a > b) return;
  if (merged) open_conditional_block(old_side);
  for (int32_t i = a; i <= b; ++i) {
    seek_to(stream, offsets[i - 1]);
    int64_t length = offsets[i] - offsets[i - 1];
    if (!merged) fputs(prefix, stdout);
    if (options.expand_tabs) {
      copy_bytes_expanding_tabs(stream, length);
    } else {
      copy_bytes(stream, length);
    }
  }
}
