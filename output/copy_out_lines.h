// Printing runs of lines from their recorded offsets, and the conditional
// blocks of the merged (-D) output.
#ifndef OVARN_OUTPUT_COPY_OUT_LINES_H_
#define OVARN_OUTPUT_COPY_OUT_LINES_H_

#include <cstdint>
#include <cstdio>

#include "base/block_reader.h"
#include "base/owned_files.h"
#include "base/table.h"
#include "output/print_request.h"

// What the line printing of one comparison keeps between calls.
struct line_output {
  const print_request* request = nullptr;
  // Slot 0 reads the old file, slot 1 the new file.
  owned_stream input_streams[2];
  // Where each stream stands, followed rather than asked for at every line.
  int64_t stream_offset[2] = {0, 0};
  // The bytes of each file read last for printing: the lines a change
  // prints lie close together, and a context group prints them in several
  // runs, so one read of a few kilobytes serves them all.
  block_reader windows[2];
  // Printed lines gather here and go to standard output in large writes.
  table<char> stage;
  size_t staged = 0;
  // Under FMT_IFDEF: 0 when no conditional block is open, else 1 + whether
  // the lines printed last under it were the old file's.
  int32_t open_block = 0;
  // The symbol that the closing "#endif %s" line names.
  const char* block_label = nullptr;
};

// Opens both input streams on request.path1 and request.path2 for printing;
// a file that cannot be opened ends the run with the perror line for its
// path.
void start_line_output(line_output& out, const print_request& request);

// Prints lines a..b (none when a > b) of file (0 old, 1 new), whose offsets
// are given, each after prefix (not under FMT_IFDEF), expanding tabs under
// -t. Under FMT_IFDEF with old_side 1 it first copies the unchanged old text
// up to line a (or to the end of line b when a > b), and it opens the
// conditional block around the lines it prints. file picks the stream and
// old_side the merged text's treatment, which are not the same thing: the
// context listing passes 0 for the lines of both files.
void copy_out_lines(line_output& out, const int64_t* offsets, int32_t a, int32_t b, int file,
                    const char* prefix, int32_t old_side);

// Closes the conditional block if one is open ("#endif %s").
void close_conditional_block(line_output& out);

// Under FMT_IFDEF: the old file's bytes from where its stream stands to its
// end (the text after its last newline, or all of it when it has no lines).
void copy_rest_of_old_file(line_output& out);

#endif  // OVARN_OUTPUT_COPY_OUT_LINES_H_
