// The option record of the main program: main makes it, parse_options fills
// it from the command line, and everything after reads it through a const
// reference.
#ifndef OVARN_BASE_RUN_OPTIONS_H_
#define OVARN_BASE_RUN_OPTIONS_H_

#include <cstdint>

#include "base/output_format.h"

struct run_options {
  ::output_format output_format = ::output_format::FMT_NORMAL;
  int32_t blank_runs = 0;        // -b
  int32_t all_blanks = 0;        // -w
  int32_t fold_case = 0;         // -i
  int32_t expand_tabs = 0;       // -t
  int32_t hand_off = 0;          // -h, counted
  int32_t long_listing = 0;      // -l, counted
  int32_t report_identical = 0;  // -s, counted
  int32_t recursive = 0;         // -r, counted
  int32_t context_lines = 0;     // -c count
  // These point into the command-line argument that carried the letter.
  const char* start_name = nullptr;  // -Sname
  const char* ifdef_new = nullptr;   // -DNAME: NAME, possibly empty
};

#endif  // OVARN_BASE_RUN_OPTIONS_H_
