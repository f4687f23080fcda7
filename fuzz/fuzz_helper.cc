// Fuzzes the helper program in process: the first byte chooses -b, whether
// the new file comes through standard input and whether the old file is
// named by a directory as its first operand; the rest is cut into the two
// files at the first "\n==\n". Each input gets a fresh comparison record
// from run_helper.
//
// Standard output goes to a file in memory, set up once at start-up and
// emptied after each input; each listing must be an edit script that turns
// the old file into the new one. The helper's messages go to standard error
// (run with -close_fd_mask=2 to drop them).
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "fuzz/fuzz_input.h"
#include "helper/helper_state.h"
#include "helper/resync.h"
#include "helper/run_comparison.h"

namespace {

// The lines of text as the helper reads them: up to and including a
// newline, at most kLineLimit - 1 bytes.
std::vector<std::string> split_lines(const std::string& text) {
  std::vector<std::string> lines;
  for (size_t start = 0; start < text.size();) {
    const size_t most = std::min(text.size(), start + kLineLimit - 1);
    const size_t newline = text.find('\n', start);
    const size_t end = newline < most ? newline + 1 : most;
    lines.push_back(text.substr(start, end - start));
    start = end;
  }
  return lines;
}

// One side of a change header: "x", "x,y" or "x,$"; count is -1 for "$".
bool read_range(const std::string& text, size_t& at, long& first, long& count) {
  const auto number = [&](long& n) {
    if (at >= text.size() || text[at] < '0' || text[at] > '9') return false;
    for (n = 0; at < text.size() && text[at] >= '0' && text[at] <= '9' && n < 1000000; ++at) {
      n = n * 10 + (text[at] - '0');
    }
    return true;
  };
  if (!number(first)) return false;
  count = 1;
  if (at < text.size() && text[at] == ',') {
    ++at;
    long last = 0;
    if (at < text.size() && text[at] == '$') {
      ++at;
      count = -1;
    } else if (!number(last) || last <= first) {
      return false;
    } else {
      count = last - first + 1;
    }
  }
  return true;
}

// The lines of one side of a change: each is prefix and the next line of
// lines; count is -1 for a side that runs to the end of the file.
bool read_side(const std::string& listing, size_t& at, const char* prefix,
               const std::vector<std::string>& lines, size_t& next, long count) {
  long listed = 0;
  while (listing.compare(at, 2, prefix) == 0) {
    if (next == lines.size() || listing.compare(at + 2, lines[next].size(), lines[next]) != 0) {
      return false;
    }
    at += 2 + lines[next++].size();
    ++listed;
  }
  return listed > 0 && (count == -1 || listed == count);
}

// Checks the listing as an edit script of the old lines into the new ones:
// the lines it lists are those of the files at the places its headers give,
// and the lines it passes over are equal under the comparison's rule.
bool listing_fits(const std::string& listing, const std::vector<std::string>& old_lines,
                  const std::vector<std::string>& new_lines, const helper_state& rule) {
  size_t next[2] = {0, 0};  // the lines before these are settled
  const auto pass_equal_lines = [&](size_t old_end) {
    for (; next[0] < old_end; ++next[0], ++next[1]) {
      if (next[1] == new_lines.size() || !lines_equal(rule, old_lines[next[0]], new_lines[next[1]])) {
        return false;
      }
    }
    return true;
  };
  for (size_t at = 0; at < listing.size();) {
    const size_t end = listing.find('\n', at);
    if (end == std::string::npos) return false;
    const std::string header = listing.substr(at, end + 1 - at);
    at = end + 1;
    size_t h = 0;
    long first0, count0, first1, count1;
    if (!read_range(header, h, first0, count0) || h >= header.size()) return false;
    const char letter = header[h++];
    if (letter != 'a' && letter != 'c' && letter != 'd') return false;
    if (!read_range(header, h, first1, count1) || header.substr(h) != "\n") return false;
    // Where the change starts in each file, as its header says.
    const long old_start = letter == 'a' ? first0 + 1 : first0;
    const long new_start = letter == 'd' ? first1 + 1 : first1;
    if (old_start < 1 || static_cast<size_t>(old_start) - 1 > old_lines.size()) return false;
    if (!pass_equal_lines(static_cast<size_t>(old_start) - 1)) return false;
    if (static_cast<size_t>(new_start) != next[1] + 1) return false;
    if (letter != 'a' && !read_side(listing, at, "< ", old_lines, next[0], count0)) return false;
    if (letter == 'c') {
      if (listing.compare(at, 4, "---\n") != 0) return false;
      at += 4;
    }
    if (letter != 'd' && !read_side(listing, at, "> ", new_lines, next[1], count1)) return false;
  }
  return pass_equal_lines(old_lines.size()) && next[1] == new_lines.size();
}

// What the comparison wrote on standard output since the last call.
[[noreturn]] void fail(const char* what, int status, uint8_t flags) {
  std::fprintf(stderr, "%s: status %d, flags %d\n", what, status, flags & 7);
  std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  capture_standard_output();
  if (mkdir((fuzz_work_dir() + "/d").c_str(), 0700) != 0) std::abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_reader input{data, size};
  const uint8_t flags = input.take_byte();
  std::string old_text, new_text;
  split_pair(input.rest(), "\n==\n", old_text, new_text);
  const bool blank_runs = (flags & 1) != 0;
  const bool from_stdin = (flags & 2) != 0;
  const bool from_dir = (flags & 4) != 0;
  const std::string& dir = fuzz_work_dir();
  const std::string new_path = dir + "/new";
  // The directory d stands for its entry named after the other operand.
  const std::string old_path = from_dir ? dir + "/d" : dir + "/old";
  write_whole_file(from_dir ? old_path + (from_stdin ? "/-" : "/new") : old_path, old_text);
  write_whole_file(new_path, new_text);
  if (from_stdin) {
    const int fd = open(new_path.c_str(), O_RDONLY);
    if (fd < 0 || dup2(fd, STDIN_FILENO) < 0) std::abort();
    close(fd);
  }
  std::vector<std::string> args = {"varnh", "-h"};
  if (blank_runs) args.push_back("-b");
  args.push_back(old_path);
  args.push_back(from_stdin ? "-" : new_path);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  const int status = run_helper(static_cast<int>(args.size()), argv.data());
  const std::string listing = take_standard_output();
  // Equal files compare equal, and without -b only equal files do.
  if (status < 0 || status > 2) fail("status out of range", status, flags);
  if (old_text == new_text && status != 0) fail("equal files", status, flags);
  if (!blank_runs && status == 0 && old_text != new_text) fail("unequal files", status, flags);
  if (status == 0 && !listing.empty()) fail("listing without changes", status, flags);
  // The only trouble these files can give is a change too long to
  // resynchronise; a misuse of the window would end the run without it.
  const std::string omitted = "---change record omitted\n";
  if (status == 2 && (listing.size() < omitted.size() ||
                      listing.compare(listing.size() - omitted.size(), omitted.size(), omitted) != 0)) {
    fail("trouble other than a lost resynchronisation", status, flags);
  }
  if (status == 1) {
    helper_state rule;
    rule.blank_runs = blank_runs;
    if (!listing_fits(listing, split_lines(old_text), split_lines(new_text), rule)) {
      fail("listing does not turn the old file into the new one", status, flags);
    }
  }
  return 0;
}
