// Printing runs of lines from their recorded offsets, and the conditional
// blocks of the merged (-D) output.
#ifndef OVARN_OUTPUT_COPY_OUT_LINES_H_
#define OVARN_OUTPUT_COPY_OUT_LINES_H_

#include <cstdint>
#include <cstdio>

// Under FMT_IFDEF: 0 when no conditional block is open, else 1 + the old_side
// of the lines printed last under it. report_change closes open blocks.
extern int32_t open_block;
// The symbol that the closing "#endif %s" line names.
extern const char* block_label;

// Announces the two freshly opened input streams, both at their start, so
// that their positions are followed instead of asked for at every line.
void start_line_output(FILE* old_stream, FILE* new_stream);

// Prints lines a..b (none when a > b) of the file whose offsets and stream
// are given, each after prefix (not under FMT_IFDEF), expanding tabs under -t.
// Under FMT_IFDEF with old_side 1 it first copies the unchanged old text up to
// line a (or to the end of line b when a > b), and it opens the conditional
// block around the lines it prints.
void copy_out_lines(const int64_t* offsets, int32_t a, int32_t b, FILE* stream,
                    const char* prefix, int32_t old_side);

#endif  // OVARN_OUTPUT_COPY_OUT_LINES_H_
