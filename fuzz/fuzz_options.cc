// Fuzzes the main program's command line: the input, cut at NUL bytes, gives
// the option arguments, followed by two small text files as operands.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/entries.h"
#include "fuzz/fork_runner.h"
#include "fuzz/fuzz_input.h"

namespace {

constexpr size_t kMaxArguments = 64;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string& dir = fuzz_work_dir();
  static const bool files_made = [&] {
    write_whole_file(dir + "/old", "a\nb\nc\n");
    write_whole_file(dir + "/new", "a\nB\nc\nd\n");
    write_whole_file(dir + "/stdin", "a\nx\n");
    return true;
  }();
  (void)files_made;
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
  run_in_child(ovarn_entry, args, dir + "/stdin");
  return 0;
}
