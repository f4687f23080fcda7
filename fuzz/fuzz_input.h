// Cutting one fuzz input into the pieces a target needs: a few selector
// bytes and two file contents; and the private directory the files go in.
#ifndef OVARN_FUZZ_FUZZ_INPUT_H_
#define OVARN_FUZZ_FUZZ_INPUT_H_

#include <cstddef>
#include <cstdint>
#include <string>

struct fuzz_reader {
  const uint8_t* data;
  size_t size;
  // The next byte, or 0 when the input is used up.
  uint8_t take_byte();
  // The rest of the input.
  std::string rest();
};

// Splits text at its first occurrence of separator into the old and new file
// contents; without a separator the new file is empty.
void split_pair(const std::string& text, const std::string& separator, std::string& old_text,
                std::string& new_text);

void write_whole_file(const std::string& path, const std::string& content);

// A private directory for the inputs of this fuzzer process, made on first
// use (under /dev/shm, or /tmp without it) and removed with its files when
// the process exits.
const std::string& fuzz_work_dir();

// Removes the directory at once, for a run that ends without exit handlers.
void remove_fuzz_work_dir();

// Sends standard output to a file in memory, once at start-up, so that an
// in-process target can read what each input printed.
void capture_standard_output();

// What was printed since the last call, and empties the file.
std::string take_standard_output();

// The paths of a pair of files that a target compares.
struct fuzz_pair {
  std::string old_path;
  std::string new_path;
};

// Cuts text into two file contents at the line "==" and writes them as the
// files old and new in dir.
fuzz_pair write_fuzz_pair(const std::string& text, const std::string& dir);

#endif  // OVARN_FUZZ_FUZZ_INPUT_H_
