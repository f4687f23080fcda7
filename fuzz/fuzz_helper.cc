// Fuzzes the helper program: the first byte chooses -b and whether the new
// file comes through standard input, the rest is cut into the two files at
// the first "\n==\n".
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/entries.h"
#include "fuzz/fork_runner.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_reader input{data, size};
  const uint8_t flags = input.take_byte();
  const fuzz_pair pair = write_fuzz_pair(input.rest(), fuzz_work_dir());
  const std::string& old_path = pair.old_path;
  const std::string& new_path = pair.new_path;

  std::vector<std::string> args = {"varnh"};
  if (flags & 1) args.push_back("-b");
  args.push_back(old_path);
  args.push_back(flags & 2 ? "-" : new_path);
  run_in_child(ovarnh_entry, args, new_path);
  return 0;
}
