// Fuzzes the main program's command line in process: the input, cut at NUL
// bytes, gives the option arguments, followed by two small text files as
// operands. A sound command line goes on to the comparison of the two files.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "base/run_options.h"
#include "cli/parse_options.h"
#include "fuzz/file_pair.h"
#include "fuzz/fuzz_input.h"

namespace {

constexpr size_t kMaxArguments = 64;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  capture_standard_output();
  const std::string& dir = fuzz_work_dir();
  write_whole_file(dir + "/old", "a\nb\nc\n");
  write_whole_file(dir + "/new", "a\nB\nc\nd\n");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& dir = fuzz_work_dir();
  std::vector<std::string> args = {"ovarn"};
  const std::string text(reinterpret_cast<const char*>(data), size);
  size_t start = 0;
  while (start <= text.size() && args.size() < kMaxArguments) {
    const size_t end = text.find('\0', start);
    args.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
    if (end == std::string::npos) break;
    start = end + 1;
  }
  if (args.size() == 2 && args[1].empty()) args.pop_back();
  args.push_back(dir + "/old");
  args.push_back(dir + "/new");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  run_options o;
  char* operands[2] = {nullptr, nullptr};
  const option_fault fault = read_options(static_cast<int>(args.size()), argv.data(), o, operands);
  if (fault.message != nullptr) {
    fprintf(stderr, fault.message, fault.letters);
  } else if (o.hand_off == 0) {
    // -h replaces the process with the helper program: not in process.
    compare_in_process(o, operands[0], operands[1]);
  }
  take_standard_output();
  return 0;
}
