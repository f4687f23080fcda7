// Pairs of files of 5 GiB, through both programs: the lines past 4 GiB are
// found again only through 64-bit offsets, and a 32-bit build sees such a
// file only with a 64-bit off_t. The files are sparse, so they cost no disk,
// but every byte is still read: this test takes a while and runs beside the
// others. It also runs against the 32-bit builds under emulation.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>

#include "tests/property/checked_run.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

// A file of text, a hole up to size bytes, then tail. The hole costs no disk.
bool make_sparse(const std::string& path, const std::string& text, off_t size, const std::string& tail) {
  write_file(path, text);
  if (truncate(path.c_str(), size) != 0) return false;
  const int fd = open(path.c_str(), O_WRONLY | O_APPEND);
  if (fd < 0) return false;
  const bool written = write(fd, tail.data(), tail.size()) == static_cast<ssize_t>(tail.size());
  close(fd);
  return written;
}

run_result run_long(const std::string& program, const std::string& arg0,
                    const std::vector<std::string>& args) {
  run_request request = checked_request(program, arg0, args);
  request.timeout_seconds = 1500;  // under emulation every byte costs more
  return run_program(request);
}

struct large_pair {
  const char* name;
  const char* new_tail;
  const char* listing;         // of ovarn
  const char* helper_listing;  // of ovarnh, and of ovarn -h
  int status;
};

TEST(LargeFiles, PairsOf5GiBEqualOrDifferingInTheLastLine) {
  if (under_valgrind()) GTEST_SKIP() << "reading 20 GiB byte by byte under valgrind takes hours";
  // Line 2 is the hole, 5 GiB of NUL bytes; lines 3 and 4 lie past 4 GiB.
  // The helper reads the hole as 254-byte lines: "x", 21136651 of them, then
  // "same" at 21136653 and the last line after it.
  const large_pair pairs[] = {
      {"equal", "\nsame\nold\n", "", "", 0},
      {"last line differs", "\nsame\nnewer\n", "4c4\n< old\n---\n> newer\n",
       "21136654,$c21136654,$\n< old\n---\n> newer\n", 1},
  };
  temp_dir dir;
  const off_t size = off_t{5} << 30;
  if (!make_sparse(dir / "old", "x\n", size, "\nsame\nold\n"))
    GTEST_SKIP() << "no room for sparse files of 5 GiB here";
  for (const large_pair& pair : pairs) {
    SCOPED_TRACE(pair.name);
    ASSERT_TRUE(make_sparse(dir / "new", "x\n", size, pair.new_tail));
    const std::vector<std::string> files = {dir / "old", dir / "new"};
    run_result r = run_long(ovarn_path(), "ovarn", files);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, pair.listing);
    EXPECT_EQ(r.status, pair.status);

    r = run_long(ovarnh_path(), "varnh", files);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, pair.helper_listing);
    EXPECT_EQ(r.status, pair.status);

    if (programs_emulated()) continue;  // the hand-off is an exec: see kExecUnderEmulation
    r = run_long(ovarn_path(), "ovarn", {"-h", dir / "old", dir / "new"});
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, pair.helper_listing);
    EXPECT_EQ(r.status, pair.status);
  }
}

}  // namespace
