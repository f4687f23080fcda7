#include "output/copy_out_lines.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "cli/run_options.h"

int32_t open_block = 0;
const char* block_label = nullptr;

namespace {

// Where each input stream stands. Every read of output goes through here, so
// the position is known without a system call at every line.
struct stream_cursor {
  FILE* stream = nullptr;
  int64_t offset = 0;
};
stream_cursor cursors[2];

int64_t& offset_of(FILE* stream) {
  for (stream_cursor& c : cursors) {
    if (c.stream == stream) return c.offset;
  }
  // A stream that was not announced: ask it once.
  stream_cursor& spare = cursors[1];
  spare.stream = stream;
  spare.offset = ftello(stream);
  return spare.offset;
}

// Moves the stream to offset, without a seek when it already stands there,
// so that consecutive lines are read through one stream buffer.
void seek_to(FILE* stream, int64_t offset) {
  int64_t& known = offset_of(stream);
  if (known != offset) {
    fseeko(stream, offset, SEEK_SET);
    known = offset;
  }
}

// Copies count bytes from the stream unchanged.
void copy_bytes(FILE* stream, int64_t count) {
  char block[65536];
  while (count > 0) {
    size_t want = static_cast<size_t>(std::min<int64_t>(count, sizeof block));
    size_t got = fread(block, 1, want, stream);
    if (got == 0) return;
    fwrite(block, 1, got, stdout);
    offset_of(stream) += static_cast<int64_t>(got);
    count -= static_cast<int64_t>(got);
  }
}

// The bytes of each input file read last for printing. The lines a change
// prints lie close together, and a context group prints them in several
// runs, so one read of a few kilobytes serves them all. Reads go by offset,
// one system call each, and leave the stream's position alone for the
// stdio readers around them: on files with changes far apart a seek and a
// read per run of lines were most of the output's cost.
struct read_window {
  int descriptor = -1;
  int64_t start = 0;  // the file offset of bytes[0]
  size_t length = 0;  // the bytes held
  char bytes[1 << 16];
};
read_window windows[2];

read_window& window_of(FILE* stream) {
  const int descriptor = fileno(stream);
  for (read_window& w : windows) {
    if (w.descriptor == descriptor) return w;
  }
  // A stream that was not announced takes the second window.
  windows[1].descriptor = descriptor;
  windows[1].length = 0;
  return windows[1];
}

// At least one of the bytes from offset on, up to end, held in the stream's
// window; null at end of file. *length is the count held from offset.
const char* bytes_at(FILE* stream, int64_t offset, int64_t end, size_t* length) {
  read_window& w = window_of(stream);
  if (offset < w.start || offset >= w.start + static_cast<int64_t>(w.length)) {
    constexpr int64_t kLeastRead = 4096;
    size_t want = static_cast<size_t>(
        std::min<int64_t>(std::max(end - offset, kLeastRead), sizeof w.bytes));
    ssize_t got = pread(w.descriptor, w.bytes, want, offset);
    w.start = offset;
    w.length = got > 0 ? static_cast<size_t>(got) : 0;
    if (got <= 0) return nullptr;
  }
  *length = static_cast<size_t>(w.start + static_cast<int64_t>(w.length) - offset);
  return w.bytes + (offset - w.start);
}

// Printed lines gather here and go to standard output in large writes: a
// line and its prefix are two short copies rather than two calls into stdio,
// which on long runs of short lines was most of the output's time.
struct output_stage {
  char bytes[1 << 16];
  size_t used = 0;
};
output_stage stage;

void flush_stage() {
  if (stage.used > 0) fwrite_unlocked(stage.bytes, 1, stage.used, stdout);
  stage.used = 0;
}

void stage_bytes(const char* bytes, size_t count) {
  if (count > sizeof stage.bytes - stage.used) {
    flush_stage();
    if (count > sizeof stage.bytes) {
      fwrite_unlocked(bytes, 1, count, stdout);
      return;
    }
  }
  memcpy(stage.bytes + stage.used, bytes, count);
  stage.used += count;
}

// Lines a..b lie one after another in the stream: they are read as one
// stretch, in large blocks, and each line is written after its prefix where
// it lies in the block.
void copy_prefixed_lines(FILE* stream, const int64_t* offsets, int32_t a, int32_t b,
                         const char* prefix) {
  const size_t prefix_length = strlen(prefix);
  int64_t offset = offsets[a - 1];
  for (int32_t i = a; i <= b;) {
    size_t held;
    const char* block = bytes_at(stream, offset, offsets[b], &held);
    if (block == nullptr) break;
    const int64_t block_start = offset;
    const int64_t step = std::min<int64_t>(static_cast<int64_t>(held), offsets[b] - block_start);
    if (step <= 0) break;  // offsets that do not rise: nothing is left to print
    offset += step;
    for (int64_t at = block_start; at < offset && i <= b;) {
      if (at == offsets[i - 1]) stage_bytes(prefix, prefix_length);
      int64_t until = std::min(offsets[i], offset);
      stage_bytes(block + (at - block_start), static_cast<size_t>(until - at));
      at = until;
      if (at == offsets[i]) ++i;
    }
  }
  flush_stage();
}

// Copies count bytes, each tab widened with blanks to the next multiple of 8
// columns; the column starts at 0 and every other byte counts one.
void copy_bytes_expanding_tabs(FILE* stream, int64_t count) {
  int64_t column = 0;
  int64_t& offset = offset_of(stream);
  for (; count > 0; --count) {
    int ch = getc_unlocked(stream);
    if (ch == EOF) return;
    ++offset;
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
  int64_t position = offset_of(stream);
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

void start_line_output(FILE* old_stream, FILE* new_stream) {
  cursors[0] = stream_cursor{old_stream, 0};
  cursors[1] = stream_cursor{new_stream, 0};
  // The streams are new: whatever the windows hold is of other files.
  for (int side = 0; side < 2; ++side) {
    windows[side].descriptor = fileno(side == 0 ? old_stream : new_stream);
    windows[side].length = 0;
  }
}

void copy_out_lines(const int64_t* offsets, int32_t a, int32_t b, FILE* stream,
                    const char* prefix, int32_t old_side) {
  const bool merged = options.output_format == FMT_IFDEF;
  if (merged && old_side == 1) copy_through(stream, a <= b ? offsets[a - 1] : offsets[b]);
  if (a > b) return;
  if (merged) open_conditional_block(old_side);
  if (!merged && !options.expand_tabs) {
    copy_prefixed_lines(stream, offsets, a, b, prefix);
    return;
  }
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
