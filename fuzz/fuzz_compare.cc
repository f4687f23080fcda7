// Fuzzes the whole file-pair comparison in process: the first bytes choose
// the format and the options, the rest is cut into the old and the new file
// at the first "\n==\n". Every format is reached, with and without -b, -w,
// -i and -t. Each input gets fresh records: a table or stream that outlived
// its comparison shows up as a leak.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/run_options.h"
#include "fuzz/file_pair.h"
#include "fuzz/fuzz_input.h"

namespace {

using enum output_format;

[[noreturn]] void fail(const char* what, int status) {
  fprintf(stderr, "%s: status %d\n", what, status);
  abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  capture_standard_output();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_reader input{data, size};
  const uint8_t format = input.take_byte();
  const uint8_t flags = input.take_byte();
  const uint8_t count = input.take_byte();
  const std::string text = input.rest();
  const fuzz_pair pair = write_fuzz_pair(text, fuzz_work_dir());
  std::string old_text, new_text;
  split_pair(text, "\n==\n", old_text, new_text);

  run_options o;
  o.ifdef_new = "";
  switch (format % 7) {
    case 1: o.output_format = FMT_EDIT; break;
    case 2: o.output_format = FMT_REVERSE; break;
    case 3: o.output_format = FMT_NUMBERED; break;
    case 4: o.output_format = FMT_CONTEXT; o.context_lines = count % 8; break;
    case 5: o.output_format = FMT_CONTEXT; o.context_lines = 3; break;
    case 6: o.output_format = FMT_IFDEF; o.ifdef_new = count % 2 ? "NAME" : ""; break;
    default: break;  // the plain listing
  }
  o.blank_runs = flags & 1;
  o.all_blanks = (flags >> 1) & 1;
  o.fold_case = (flags >> 2) & 1;
  o.expand_tabs = (flags >> 3) & 1;
  const int status = compare_in_process(o, pair.old_path, pair.new_path);
  const std::string listing = take_standard_output();
  if (status != 0 && status != 1) fail("status out of range", status);
  // Equal files say so without a listing, whatever the options.
  if (old_text == new_text) {
    if (status != 0) fail("equal files", status);
    const bool said = listing == (o.output_format == FMT_CONTEXT ? "No differences encountered\n" : "");
    if (!said) fail("listing for equal files", status);
  }
  // Under no option only equal lines pair, so files of different lines differ.
  const bool loose = o.blank_runs || o.all_blanks || o.fold_case;
  if (!loose && status == 0 && old_text != new_text && o.output_format != FMT_IFDEF) {
    // Bytes after the last newline take no part: only the lines must agree.
    const size_t old_end = old_text.rfind('\n') + 1;
    const size_t new_end = new_text.rfind('\n') + 1;
    if (old_text.compare(0, old_end, new_text, 0, new_end) != 0) fail("unequal lines", status);
  }
  return 0;
}
