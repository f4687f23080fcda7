#include "cli/parse_options.h"

#include <cstdint>
#include <cstdio>

#include "base/exit_run.h"
#include "base/messages.h"
#include "base/run_options.h"
#include "base/run_state.h"

namespace {

[[noreturn]] void fail(const char* message) {
  fputs(message, stderr);
  exit_run();
}

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The digits after c run to the end of the argument; a count beyond the
// 32-bit range is clamped to its largest value.
void read_context_count(const char* digits) {
  int64_t value = 0;
  const char* p = digits;
  for (; is_digit(*p); ++p) {
    value = value * 10 + (*p - '0');
    if (value > INT32_MAX) value = INT32_MAX;
  }
  if (*p != '\0') fail(msg_bad_count);
  options.context_lines = static_cast<int32_t>(value);
}

// Reads the letters of one option argument (after its "-"). The letters c, D
// and S may end the argument early; D and S cut it in place.
void read_option_letters(char* letters) {
  for (char* p = letters; *p != '\0'; ++p) {
    switch (*p) {
      case 'b': options.blank_runs = 1; break;
      case 'e': options.output_format = FMT_EDIT; break;
      case 'f': options.output_format = FMT_REVERSE; break;
      case 'h': options.hand_off++; break;
      case 'i': options.fold_case = 1; break;
      case 'l': options.long_listing++; break;
      case 'n': options.output_format = FMT_NUMBERED; break;
      case 'r': options.recursive++; break;
      case 's': options.report_identical++; break;
      case 't': options.expand_tabs = 1; break;
      case 'w': options.all_blanks = 1; break;
      case 'c':
        options.output_format = FMT_CONTEXT;
        if (is_digit(p[1])) {
          read_context_count(p + 1);
          return;
        }
        options.context_lines = 3;
        break;
      case 'D':
        options.output_format = FMT_IFDEF;
        options.ifdef_new = p + 1;
        *p = '\0';
        return;
      case 'S':
        if (p[1] == '\0') fail(msg_use_start);
        options.start_name = p + 1;
        *p = '\0';
        return;
      default:
        fprintf(stderr, msg_unknown_option, p);
        exit_run();
    }
  }
}

}  // namespace

void parse_options(int argc, char** argv) {
  int arguments = argc - 1;
  if (arguments < 2) fail(msg_two_filenames);
  for (int k = 1; k < argc - 2; ++k) {
    char* arg = argv[k];
    if (arg[0] != '-') fail(msg_two_filenames);
    if (arg[1] == '\0') continue;
    read_option_letters(arg + 1);
  }
  state.path1 = argv[argc - 2];
  state.path2 = argv[argc - 1];
}
