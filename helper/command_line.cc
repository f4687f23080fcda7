#include "helper/command_line.h"

#include "helper/line_window.h"

namespace {

int count_b_letters(const char* group) {
  int count = 0;
  for (const char* c = group + 1; *c != '\0'; ++c) count += *c == 'b';
  return count;
}

}  // namespace

bool read_command_line(helper_state& state, int argc, char** argv, helper_operands& operands) {
  int next = 1;
  for (; next < argc && argv[next][0] == '-'; ++next) {
    state.blank_runs += count_b_letters(argv[next]);
  }
  if (argc - next != 2) return helper_fail("must have 2 file arguments", "");
  operands = helper_operands{{argv[next], argv[next + 1]}};
  return true;
}
