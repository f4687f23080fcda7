// Fuzzes the whole file-pair comparison: the first bytes choose the format
// and the options, the rest is cut into the old and the new file at the
// first "\n==\n". Every format is reached, with and without -b, -w, -i and
// -t, and either file may come through standard input.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/entries.h"
#include "fuzz/fork_runner.h"
#include "fuzz/fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_reader input{data, size};
  const uint8_t format = input.take_byte();
  const uint8_t flags = input.take_byte();
  const uint8_t count = input.take_byte();
  const fuzz_pair pair = write_fuzz_pair(input.rest(), fuzz_work_dir());
  const std::string& old_path = pair.old_path;
  const std::string& new_path = pair.new_path;

  std::vector<std::string> args = {"ovarn"};
  switch (format % 7) {
    case 1: args.push_back("-e"); break;
    case 2: args.push_back("-f"); break;
    case 3: args.push_back("-n"); break;
    case 4: args.push_back("-c" + std::to_string(count % 8)); break;
    case 5: args.push_back("-c"); break;
    case 6: args.push_back(count % 2 ? "-DNAME" : "-D"); break;
    default: break;  // the plain listing
  }
  if (flags & 1) args.push_back("-b");
  if (flags & 2) args.push_back("-w");
  if (flags & 4) args.push_back("-i");
  if (flags & 8) args.push_back("-t");
  // Standard input stands for one of the files now and then.
  const int from_stdin = (flags >> 4) % 3;  // 0: neither, 1: old, 2: new
  args.push_back(from_stdin == 1 ? "-" : old_path);
  args.push_back(from_stdin == 2 ? "-" : new_path);
  run_in_child(ovarn_entry, args, from_stdin == 1 ? old_path : new_path);
  return 0;
}
