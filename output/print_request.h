// What the change output prints, taken from the command line by the driver:
// the output reads no option itself.
#ifndef OVARN_OUTPUT_PRINT_REQUEST_H_
#define OVARN_OUTPUT_PRINT_REQUEST_H_

#include <cstdint>

#include "base/output_format.h"

struct print_request {
  ::output_format output_format = ::output_format::FMT_NORMAL;
  int32_t context_lines = 0;  // -c count
  bool expand_tabs = false;   // -t
  const char* ifdef_new = ""; // the -D symbol, possibly empty
  // The files read again for their lines, named so in the context header.
  const char* path1 = nullptr;
  const char* path2 = nullptr;
};

#endif  // OVARN_OUTPUT_PRINT_REQUEST_H_
