#include "tests/property/clients.h"

#include <utility>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

client_result run_client(const std::string& path, std::vector<std::string> argv,
                         const std::string& input, const temp_dir& dir,
                         const std::string& produced) {
  run_request request;
  request.path = path;
  request.argv = std::move(argv);
  request.input = input;
  request.cwd = dir.path();
  const run_result run = run_program(request);
  return {run.timed_out ? -1 : run.status, read_file(produced), run.err};
}

}  // namespace

client_result ed_apply(const std::string& text, const std::string& script) {
  temp_dir dir;
  write_file(dir / "file", text);
  return run_client(outside_program("ed", "ed"), {"ed", "-s", "file"}, script + "w\nq\n", dir,
                    dir / "file");
}

client_result patch_apply(const std::string& text, const std::string& listing) {
  temp_dir dir;
  write_file(dir / "old", text);
  return run_client(outside_program("patch", "patch"),
                    {"patch", "-f", "-s", "--binary", "-F0", "--no-backup-if-mismatch",
                     "-r", dir / "rejects", "-o", dir / "out", dir / "old"},
                    listing, dir, dir / "out");
}

client_result unifdef_apply(const std::string& text, const std::string& symbol_flag) {
  temp_dir dir;
  write_file(dir / "merged", text);
  return run_client(outside_program("unifdef", "unifdef"),
                    {"unifdef", "-t", symbol_flag, "-o", dir / "out", "merged"}, "", dir, dir / "out");
}
