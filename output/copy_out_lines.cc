#include "output/copy_out_lines.h"

#include <algorithm>
#include <cstring>

#include "base/exit_run.h"
#include "port/system.h"

namespace {

constexpr size_t kStageBytes = size_t{1} << 16;
// The stretch of a file copied through unchanged at a time.
constexpr size_t kCopyBlockBytes = size_t{1} << 16;

// Bytes of the listing that bypass the stream's buffer: a failure is caught
// where it happens, while its reason is still known.
void write_out(const void* bytes, size_t count) {
  if (write_block(bytes, count, stdout) != count) output_failed();
}

const char* path_of(const line_output& out, int file) {
  return file == 0 ? out.request->path1 : out.request->path2;
}

// A stream that stopped short of the bytes asked for: a read error is not
// the end of the file.
void check_stream(const line_output& out, int file) {
  if (ferror(out.input_streams[file].get())) read_failed(path_of(out, file));
}

// Moves the stream to offset, without a seek when it already stands there,
// so that consecutive lines are read through one stream buffer.
void seek_to(line_output& out, int file, int64_t offset) {
  if (out.stream_offset[file] != offset) {
    fseeko(out.input_streams[file].get(), offset, SEEK_SET);
    out.stream_offset[file] = offset;
  }
}

// Copies count bytes (or, with count negative, all the bytes to the end of
// the file) from the stream unchanged.
void copy_bytes(line_output& out, int file, int64_t count) {
  char block[kCopyBlockBytes];
  FILE* stream = out.input_streams[file].get();
  while (count != 0) {
    const size_t want =
        count < 0 ? sizeof block : static_cast<size_t>(std::min<int64_t>(count, sizeof block));
    const size_t got = fread(block, 1, want, stream);
    if (got == 0) return check_stream(out, file);
    write_out(block, got);
    out.stream_offset[file] += static_cast<int64_t>(got);
    if (count > 0) count -= static_cast<int64_t>(got);
  }
}

// At least one of the bytes from offset on, up to end, held in the file's
// window; null at end of file. *length is the count held from offset. Reads
// go by offset and leave the stream's position alone for the stdio readers
// around them.
const char* bytes_at(line_output& out, int file, int64_t offset, int64_t end, size_t* length) {
  block_reader& w = out.windows[file];
  // Clamped before it is narrowed: on a 32-bit system a line may be longer
  // than size_t counts.
  const int64_t least = std::clamp<int64_t>(end - offset, 0, static_cast<int64_t>(kReaderBlockBytes));
  if (!fill_at(w, offset, static_cast<size_t>(least))) return nullptr;
  *length = w.end - w.pos;
  return reinterpret_cast<const char*>(w.bytes.data() + w.pos);
}

void flush_stage(line_output& out) {
  if (out.staged > 0) write_out(out.stage.data(), out.staged);
  out.staged = 0;
}

// A line and its prefix are two short copies into the stage rather than two
// calls into stdio, which on long runs of short lines was most of the
// output's time.
void stage_bytes(line_output& out, const char* bytes, size_t count) {
  if (count > kStageBytes - out.staged) {
    flush_stage(out);
    if (count > kStageBytes) {
      write_out(bytes, count);
      return;
    }
  }
  memcpy(out.stage.data() + out.staged, bytes, count);
  out.staged += count;
}

// Lines a..b lie one after another in the file: they are read as one
// stretch, in large blocks, and each line is written after its prefix where
// it lies in the block.
void copy_prefixed_lines(line_output& out, int file, const int64_t* offsets, int32_t a, int32_t b,
                         const char* prefix) {
  const size_t prefix_length = strlen(prefix);
  int64_t offset = offsets[a - 1];
  for (int32_t i = a; i <= b;) {
    size_t held;
    const char* block = bytes_at(out, file, offset, offsets[b], &held);
    if (block == nullptr) break;
    const int64_t block_start = offset;
    const int64_t step = std::min<int64_t>(static_cast<int64_t>(held), offsets[b] - block_start);
    if (step <= 0) break;  // offsets that do not rise: nothing is left to print
    offset += step;
    for (int64_t at = block_start; at < offset && i <= b;) {
      if (at == offsets[i - 1]) stage_bytes(out, prefix, prefix_length);
      int64_t until = std::min(offsets[i], offset);
      stage_bytes(out, block + (at - block_start), static_cast<size_t>(until - at));
      at = until;
      if (at == offsets[i]) ++i;
    }
  }
  flush_stage(out);
}

// Copies count bytes, each tab widened with blanks to the next multiple of 8
// columns; the column starts at 0 and every other byte counts one.
void copy_bytes_expanding_tabs(line_output& out, int file, int64_t count) {
  FILE* stream = out.input_streams[file].get();
  int64_t column = 0;
  for (; count > 0; --count) {
    int ch = getc_unlocked(stream);
    if (ch == EOF) return check_stream(out, file);
    ++out.stream_offset[file];
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
void copy_through(line_output& out, int64_t target) {
  int64_t position = out.stream_offset[0];
  if (target > position) copy_bytes(out, 0, target - position);
}

// -D gives one symbol, possibly empty: with a symbol old lines stand under
// #ifndef and new lines under #ifdef; without one both stand under #ifdef
// of the empty name.
void open_conditional_block(line_output& out, bool old_side) {
  const char* symbol = out.request->ifdef_new;
  if (out.open_block != 0) {
    printf("#else %s\n", symbol);
  } else if (symbol[0] != '\0') {
    out.block_label = symbol;
    printf(old_side ? "#ifndef %s\n" : "#ifdef %s\n", symbol);
  } else {
    out.block_label = "";
    fputs("#ifdef \n", stdout);
  }
  out.open_block = old_side ? 2 : 1;
}

}  // namespace

void start_line_output(line_output& out, const print_request& request) {
  out.request = &request;
  const char* paths[2] = {request.path1, request.path2};
  for (int file = 0; file < 2; ++file) {
    // Both were read moments before, so a failure here is reported like
    // one in verification.
    out.input_streams[file].reset(fopen(paths[file], "r"));
    if (out.input_streams[file] == nullptr) {
      perror(paths[file]);
      exit_run();
    }
    out.stream_offset[file] = 0;
    out.windows[file] = make_block_reader(fileno(out.input_streams[file].get()), 0, paths[file]);
  }
  out.stage = table<char>(kStageBytes);
  out.staged = 0;
}

void copy_out_lines(line_output& out, const int64_t* offsets, int32_t a, int32_t b, int file,
                    const char* prefix, int32_t old_side) {
  const bool merged = out.request->output_format == output_format::FMT_IFDEF;
  if (merged && old_side == 1) copy_through(out, a <= b ? offsets[a - 1] : offsets[b]);
  if (a > b) return;
  if (merged) open_conditional_block(out, old_side);
  if (!merged && !out.request->expand_tabs) {
    copy_prefixed_lines(out, file, offsets, a, b, prefix);
    return;
  }
  for (int32_t i = a; i <= b; ++i) {
    seek_to(out, file, offsets[i - 1]);
    int64_t length = offsets[i] - offsets[i - 1];
    if (!merged) fputs(prefix, stdout);
    if (out.request->expand_tabs) {
      copy_bytes_expanding_tabs(out, file, length);
    } else {
      copy_bytes(out, file, length);
    }
  }
}

void close_conditional_block(line_output& out) {
  if (out.open_block == 0) return;
  printf("#endif %s\n", out.block_label);
  out.open_block = 0;
}

void copy_rest_of_old_file(line_output& out) { copy_bytes(out, 0, -1); }
