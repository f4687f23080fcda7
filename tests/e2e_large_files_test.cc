// A pair of files over 4 GiB that differ near the end, through both
// programs: the lines past 4 GiB are found again only through 64-bit
// offsets. The files are sparse, so they cost no disk, but every byte is
// still read: this test takes a while and runs beside the others.
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

TEST(LargeFiles, PairsOver4GiBThatDifferNearTheEnd) {
  if (under_valgrind()) GTEST_SKIP() << "reading 8 GiB byte by byte under valgrind takes hours";
  temp_dir dir;
  const off_t size = (off_t{4} << 30) + 100;
  if (!make_sparse(dir / "old", "x\n", size, "\nsame\nold\n") ||
      !make_sparse(dir / "new", "x\n", size, "\nsame\nnewer\n")) {
    GTEST_SKIP() << "no room for sparse files over 4 GiB here";
  }
  // Line 2 is the hole, more than 4 GiB of NUL bytes; lines 3 and 4 lie past
  // 4 GiB, so only 64-bit offsets find them again.
  run_request request = checked_request(ovarn_path(), "ovarn", {dir / "old", dir / "new"});
  request.timeout_seconds = 1200;
  run_result r = run_program(request);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "4c4\n< old\n---\n> newer\n");
  EXPECT_EQ(r.status, 1);

  // The helper reads the hole as 254-byte lines: "x", 16909321 of them, then
  // "same" at 16909323 and the differing line after it.
  request = checked_request(ovarnh_path(), "varnh", {dir / "old", dir / "new"});
  request.timeout_seconds = 600;
  r = run_program(request);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "16909324,$c16909324,$\n< old\n---\n> newer\n");
  EXPECT_EQ(r.status, 1);
}

}  // namespace
