// Reading a file in large blocks, for every pass over the text: loading,
// verification, the check for files that share no line, and output. Lines
// are found and compared where they lie in the block.
#ifndef OVARN_BASE_BLOCK_READER_H_
#define OVARN_BASE_BLOCK_READER_H_

#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "base/table.h"

// Bytes of one block, and the zero bytes kept readable after the bytes held
// (by refill and fill_at alike) so that vector code may load whole
// registers at the end.
constexpr size_t kReaderBlockBytes = size_t{1} << 16;
constexpr size_t kReaderPadding = 64;

struct block_reader {
  int fd = -1;                 // borrowed: the reader never closes it
  const char* path = "";       // the file's name, for a read error
  table<unsigned char> bytes;  // kReaderBlockBytes + kReaderPadding
  int64_t start = 0;           // the file offset of bytes[0]
  size_t pos = 0;              // the next byte to read
  size_t end = 0;              // the bytes held
  bool met_end = false;        // a read found the end of the file
};

// A reader of fd, the file path, whose first block is read from the
// descriptor's current position, which is the file offset offset.
block_reader make_block_reader(int fd, int64_t offset, const char* path);

// Reads the next block from the descriptor's position; false at end of
// file. A read error is never taken for the end of the file: it ends the
// run through read_failed with the reader's path.
bool refill(block_reader& reader);

// Holds the bytes from offset on, read with pread: at least least bytes
// where the file has them. False when the file has no byte there; a read
// error ends the run as in refill.
bool fill_at(block_reader& reader, int64_t offset, size_t least);

// The next byte, or EOF.
inline int read_char(block_reader& reader) {
  if (reader.pos == reader.end && !refill(reader)) return EOF;
  return reader.bytes[reader.pos++];
}

#endif  // OVARN_BASE_BLOCK_READER_H_
