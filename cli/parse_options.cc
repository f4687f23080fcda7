#include "cli/parse_options.h"

#include <cstdint>
#include <cstdio>

#include "base/exit_run.h"
#include "base/messages.h"
#include "base/run_options.h"
#include "base/run_state.h"

namespace {

using enum output_format;

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The digits after c run to the end of the argument; a count beyond the
// 32-bit range is clamped to its largest value.
option_fault read_context_count(const char* digits, run_options& o) {
  int64_t value = 0;
  const char* p = digits;
  for (; is_digit(*p); ++p) {
    value = value * 10 + (*p - '0');
    if (value > INT32_MAX) value = INT32_MAX;
  }
  if (*p != '\0') return option_fault{kMsgBadCount};
  o.context_lines = static_cast<int32_t>(value);
  return option_fault{};
}

// Reads the letters of one option argument (after its "-"). The letters c, D
// and S may end the argument early; D and S cut it in place.
option_fault read_option_letters(char* letters, run_options& o) {
  for (char* p = letters; *p != '\0'; ++p) {
    switch (*p) {
      case 'b': o.blank_runs = 1; break;
      case 'e': o.output_format = FMT_EDIT; break;
      case 'f': o.output_format = FMT_REVERSE; break;
      case 'h': o.hand_off++; break;
      case 'i': o.fold_case = 1; break;
      case 'l': o.long_listing++; break;
      case 'n': o.output_format = FMT_NUMBERED; break;
      case 'r': o.recursive++; break;
      case 's': o.report_identical++; break;
      case 't': o.expand_tabs = 1; break;
      case 'w': o.all_blanks = 1; break;
      case 'c':
        o.output_format = FMT_CONTEXT;
        if (is_digit(p[1])) return read_context_count(p + 1, o);
        o.context_lines = 3;
        break;
      case 'D':
        o.output_format = FMT_IFDEF;
        o.ifdef_new = p + 1;
        *p = '\0';
        return option_fault{};
      case 'S':
        if (p[1] == '\0') return option_fault{kMsgUseStart};
        o.start_name = p + 1;
        *p = '\0';
        return option_fault{};
      default:
        return option_fault{kMsgUnknownOption, p};
    }
  }
  return option_fault{};
}

}  // namespace

option_fault read_options(int argc, char** argv, run_options& o, char* operands[2]) {
  if (argc - 1 < 2) return option_fault{kMsgTwoFilenames};
  for (int k = 1; k < argc - 2; ++k) {
    char* arg = argv[k];
    if (arg[0] != '-') return option_fault{kMsgTwoFilenames};
    if (arg[1] == '\0') continue;
    option_fault fault = read_option_letters(arg + 1, o);
    if (fault.message != nullptr) return fault;
  }
  operands[0] = argv[argc - 2];
  operands[1] = argv[argc - 1];
  return option_fault{};
}

void parse_options(int argc, char** argv, run_options& options, run_state& state) {
  char* operands[2] = {nullptr, nullptr};
  const option_fault fault = read_options(argc, argv, options, operands);
  if (fault.message != nullptr) {
    fprintf(stderr, fault.message, fault.letters);
    exit_run();
  }
  state.path1 = operands[0];
  state.path2 = operands[1];
}
