#include "tests/property/checked_run.h"

#include <cstdlib>
#include <cstring>

bool under_valgrind() {
  const char* flag = getenv("OVARN_VALGRIND");
  return flag != nullptr && strcmp(flag, "1") == 0;
}

run_request checked_request(const std::string& program, const std::string& arg0,
                            const std::vector<std::string>& args) {
  run_request request;
  if (under_valgrind()) {
    request.path = outside_program("valgrind", "valgrind");
    request.argv = {"valgrind", "-q", "--error-exitcode=" + std::to_string(kValgrindErrorStatus),
                    "--trace-children=yes", "--trace-children-skip=*/pr,*/sh", program};
    request.timeout_seconds = 600;
  } else {
    request.path = program;
    request.argv = {arg0};
  }
  request.argv.insert(request.argv.end(), args.begin(), args.end());
  return request;
}

run_result checked_ovarn(const std::vector<std::string>& args, const std::string& input) {
  run_request request = checked_request(ovarn_path(), "ovarn", args);
  request.input = input;
  return run_program(request);
}

run_result checked_ovarnh(const std::vector<std::string>& args, const std::string& input) {
  run_request request = checked_request(ovarnh_path(), "varnh", args);
  request.input = input;
  return run_program(request);
}
