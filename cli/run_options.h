// The option record of the main program: written only while the command line
// is read (parse_options), read-only afterwards.
#ifndef OVARN_CLI_RUN_OPTIONS_H_
#define OVARN_CLI_RUN_OPTIONS_H_

#include <cstdint>

// Output formats; the last of c, D, e, f, n on the command line decides.
enum : int32_t {
  FMT_EDIT = -1,      // -e: editor script, last change first
  FMT_NORMAL = 0,     // plain listing
  FMT_REVERSE = 1,    // -f: reversed script, in file order
  FMT_CONTEXT = 2,    // -c, -cN: context listing
  FMT_IFDEF = 3,      // -D, -DNAME: merged text with conditional lines
  FMT_NUMBERED = 4,   // -n: numbered add/delete script
};

struct run_options {
  int32_t output_format = FMT_NORMAL;
  int32_t blank_runs = 0;        // -b
  int32_t all_blanks = 0;        // -w
  int32_t fold_case = 0;         // -i
  int32_t expand_tabs = 0;       // -t
  int32_t paired_blocks = 0;     // -D
  int32_t hand_off = 0;          // -h, counted
  int32_t long_listing = 0;      // -l, counted
  int32_t report_identical = 0;  // -s, counted
  int32_t recursive = 0;         // -r, counted
  int32_t context_lines = 0;     // -c count
  // These point into the command-line argument that carried the letter.
  const char* start_name = nullptr;  // -Sname
  const char* ifdef_old = nullptr;   // -D: always the empty text
  const char* ifdef_new = nullptr;   // -DNAME: NAME, possibly empty
};

extern run_options options;

// Reads the option arguments of argv (argc entries) into options, cutting the
// arguments at S and D in place, and leaves the two operands in state.path1
// and state.path2. Every error ends the run through exit_run.
void parse_options(int argc, char** argv);

#endif  // OVARN_CLI_RUN_OPTIONS_H_
