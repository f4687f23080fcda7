// Faults and hostile conditions around the installed programs: an address
// space too small for the line tables, files and directories that cannot be
// read, paths longer than the programs' fixed buffers, and standard output on
// a pipe nobody reads. Each ends with its message and status, and leaves no
// spool file behind. (Files over 4 GiB are in e2e_large_files_test, which
// need not run alone.)
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/resource.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <regex>
#include <string>
#include <vector>

#include "tests/property/checked_run.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

using args_list = std::vector<std::string>;

// --- address-space limit -------------------------------------------------

// Runs the request under "ulimit -v kib" through the shell.
run_result run_limited(long kib, const run_request& inner, const std::string& input = "") {
  run_request request;
  request.path = "/bin/sh";
  request.argv = {"sh", "-c", "ulimit -v " + std::to_string(kib) + " && exec \"$0\" \"$@\"",
                  inner.path};
  request.argv.insert(request.argv.end(), inner.argv.begin() + 1, inner.argv.end());
  request.input = input;
  request.timeout_seconds = 120;
  return run_program(request);
}

// The smallest of a few limits under which ovarn starts and reads its
// command line; 0 when none does (a sanitizer or valgrind reserves far more
// address space than any of them).
long startup_limit() {
  const run_request bare = checked_request(ovarn_path(), "ovarn", {});
  for (long kib : {16384L, 32768L, 65536L, 131072L}) {
    if (run_limited(kib, bare).err == "varn: two filename arguments required\n") return kib;
  }
  return 0;
}

TEST(AddressSpaceLimit, TablesThatCannotBeHadEndTheRunAndHelperStillCompares) {
  if (under_valgrind()) GTEST_SKIP() << "valgrind keeps its own memory inside the same limit";
  const long base = startup_limit();
  if (base == 0) GTEST_SKIP() << "ovarn does not start under any tried address-space limit";
  // 8 Mi lines need a 64 MiB table; the limit leaves 32 MiB above start-up.
  const long limit = base + 32768;
  const long lines = 8L * 1024 * 1024;
  temp_dir dir;
  const std::string old_text(lines, '\n');
  write_file(dir / "old", old_text);
  write_file(dir / "new", old_text + "x\n");

  run_result r = run_limited(limit, checked_request(ovarn_path(), "ovarn", {dir / "old", dir / "new"}));
  EXPECT_EQ(r.err, "varn: files too big, try -h\n");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 1) << "the files were known to differ";

  // The same with the old file on standard input: the spool file goes too.
  const std::string before = spool_files_snapshot();
  r = run_limited(limit, checked_request(ovarn_path(), "ovarn", {"-", dir / "new"}), old_text);
  EXPECT_EQ(r.err, "varn: files too big, try -h\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(spool_files_snapshot(), before);

  // The helper's memory is bounded whatever the size of the files.
  r = run_limited(limit, checked_request(ovarn_path(), "ovarn", {"-h", dir / "old", dir / "new"}));
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, std::to_string(lines) + "a" + std::to_string(lines + 1) + ",$\n> x\n");
  EXPECT_EQ(r.status, 1);
}

// --- files and directories that cannot be read ---------------------------

// The request run by an unprivileged user when the suite runs as root, for
// whom permission bits do not stop a read; empty path when setpriv is missing.
run_request as_unprivileged(run_request request) {
  if (geteuid() != 0) return request;
  run_request dropped = request;
  dropped.path = outside_program("setpriv", "util-linux");
  if (dropped.path.empty()) return {};
  dropped.argv = {"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups", request.path};
  dropped.argv.insert(dropped.argv.end(), request.argv.begin() + 1, request.argv.end());
  return dropped;
}

// Whether a user who is neither owner nor in the group may run the program:
// every folder above it must let others through, which one under /root
// does not.
bool others_may_run(std::string path) {
  struct stat st;
  for (; !path.empty(); path.erase(path.find_last_of('/'))) {
    if (stat(path.c_str(), &st) != 0 || (st.st_mode & S_IXOTH) == 0) return false;
  }
  return true;
}

struct unreadable_case {
  bool helper;  // run ovarnh rather than ovarn
  args_list args;
  std::string out;
  std::string err;
  int status;
};

TEST(Unreadable, FilesAndDirectoriesAreReportedByName) {
  if (geteuid() == 0 && !(others_may_run(ovarn_path()) && others_may_run(ovarnh_path()))) {
    GTEST_SKIP() << "the programs lie where an unprivileged user cannot run them";
  }
  temp_dir root;
  chmod(root.path().c_str(), 0755);  // the unprivileged user must reach the files
  const std::string dir = root.path();
  auto at = [&](const std::string& name) { return dir + "/" + name; };
  write_file(at("locked"), "secret\n");
  write_file(at("open"), "plain\n");
  chmod(at("locked").c_str(), 0);
  for (const char* side : {"a", "b"}) {
    make_dir(at(side));
    make_dir(at(std::string(side) + "/sub"));
    write_file(at(std::string(side) + "/locked"), std::string(side) + "\n");
    write_file(at(std::string(side) + "/x"), std::string(side) + " x\n");
    write_file(at(std::string(side) + "/sub/y"), std::string(side) + " y\n");
  }
  make_dir(at("shut"));
  chmod(at("shut").c_str(), 0);
  chmod(at("a/locked").c_str(), 0);
  chmod(at("a/sub/y").c_str(), 0);
  const std::string denied = error_text(EACCES);

  const unreadable_case cases[] = {
      {false, {"locked", "open"}, "", "varn: locked: " + denied + "\n", 2},
      {false, {"open", "locked"}, "", "varn: locked: " + denied + "\n", 2},
      {false, {"-h", "open", "locked"}, "", "varnh: can't openlocked\n", 2},
      {true, {"locked", "open"}, "", "varnh: can't openlocked\n", 2},
      {false, {"shut", "a"}, "", "varn: shut/: " + denied + "\n", 2},
      // An entry that cannot be opened is named, and the walk goes on.
      {false, {"a", "b"}, "Common subdirectories: a/sub and b/sub\nvarn a/x b/x\n1c1\n< a x\n---\n> b x\n",
       "a/locked: " + denied + "\n", 2},
      // The child run for a subdirectory names its own entries the same way.
      {false, {"-r", "a", "b"},
       "Common subdirectories: a/sub and b/sub\nvarn -r a/x b/x\n1c1\n< a x\n---\n> b x\n",
       "a/locked: " + denied + "\na/sub/y: " + denied + "\n", 2},
  };
  for (const auto& c : cases) {
    run_request request = as_unprivileged(
        checked_request(c.helper ? ovarnh_path() : ovarn_path(), c.helper ? "varnh" : "ovarn", c.args));
    if (request.path.empty()) return;
    request.cwd = dir;
    request.no_input = true;
    const run_result r = run_program(request);
    const std::string shown = ::testing::PrintToString(c.args);
    EXPECT_EQ(r.out, c.out) << shown;
    EXPECT_EQ(r.err, c.err) << shown;
    EXPECT_EQ(r.status, c.status) << shown;
  }
}

// A socket cannot be opened by anybody, root included.
TEST(Unreadable, SocketOperandsCannotBeOpened) {
  temp_dir dir;
  const std::string socket_path = dir / "sock";
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(socket_path.size(), sizeof address.sun_path);
  socket_path.copy(address.sun_path, socket_path.size());
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  write_file(dir / "text", "text\n");

  run_result r = checked_ovarn({socket_path, dir / "text"});
  EXPECT_EQ(r.err, "varn: " + socket_path + ": " + error_text(ENXIO) + "\n");
  EXPECT_EQ(r.status, 2);
  r = checked_ovarnh({dir / "text", socket_path});
  EXPECT_EQ(r.err, "varnh: can't open" + socket_path + "\n");
  EXPECT_EQ(r.status, 2);
  close(fd);
}

// --- paths longer than the fixed buffers ---------------------------------

// A directory path of about length bytes below root, made of 200-byte names.
std::string deep_directory(const std::string& root, size_t length) {
  std::string deep = root;
  while (deep.size() + 1 < length) {
    deep += "/" + std::string(std::min<size_t>(200, length - deep.size() - 1), 'd');
    make_dir(deep);
  }
  return deep;
}

TEST(LongPaths, FilePathsBeyondEveryBufferAreComparedInFull) {
  temp_dir dir;
  // Far beyond the 1024-byte path buffers, still within the system's limit.
  const std::string deep = deep_directory(dir.path(), 3900);
  const std::string old_path = deep + "/old", new_path = deep + "/new";
  write_file(old_path, "a\nb\n");
  write_file(new_path, "a\nc\n");

  run_result r = checked_ovarn({old_path, new_path});
  EXPECT_EQ(r.out, "2c2\n< b\n---\n> c\n");
  EXPECT_EQ(r.status, 1);
  r = checked_ovarn({"-c0", old_path, new_path});
  EXPECT_EQ(r.out.rfind("*** " + old_path + "\t", 0), 0u) << r.out.substr(0, 80);
  EXPECT_NE(r.out.find("\n--- " + new_path + "\t"), std::string::npos);
  EXPECT_EQ(r.status, 1);
  r = checked_ovarnh({old_path, new_path});
  EXPECT_EQ(r.out, "2,$c2,$\n< b\n---\n> c\n");
  EXPECT_EQ(r.status, 1);
  r = checked_ovarn({old_path, "-"}, "a\nc\n");
  EXPECT_EQ(r.out, "2c2\n< b\n---\n> c\n");
  EXPECT_EQ(r.status, 1);
}

TEST(LongPaths, TitleLongerThanItsBufferIsCutForThePager) {
  temp_dir dir;
  make_dir(dir / "a");
  make_dir(dir / "b");
  write_file(dir / "a/x", "one\n");
  write_file(dir / "b/x", "two\n");
  // 800 option words make a title of about 2400 bytes.
  args_list args(800, "-s");
  args.push_back("-l");
  args.push_back("a");
  args.push_back("b");
  run_request request = checked_request(ovarn_path(), "ovarn", args);
  request.cwd = dir.path();
  const run_result r = run_program(request);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.out.find("varn -s -s -s"), std::string::npos) << "the pager's header shows the title";
  EXPECT_NE(r.out.find("1c1\n< one\n---\n> two\n"), std::string::npos) << r.out.substr(0, 400);
}

// --- standard streams that fail --------------------------------------------

enum class out_to { dev_null, dev_full, closed, reader_gone };
enum class in_from { file, closed };

// How a run's standard streams are set up: input from a file (or a
// directory, whose reads fail with EISDIR) or closed; output to /dev/null,
// /dev/full, nowhere, or a pipe whose reader has gone; SIGPIPE at its
// default action or ignored; a file-size limit in bytes (0 for none).
struct stream_setup {
  out_to out = out_to::dev_null;
  in_from in = in_from::file;
  std::string input = "/dev/null";
  bool ignore_sigpipe = false;
  long size_limit = 0;
};

struct faulted_run {
  int status = -1;  // exit status, or 128 + signal number
  bool timed_out = false;
  std::string err;
};

// Sets up the child's descriptors 0, 1 and 2 as setup says, standard error
// to err_path. Returns false when something could not be opened.
bool set_up_streams(const stream_setup& setup, int pipe_write_end, const std::string& err_path) {
  const int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  const int in = open(setup.input.c_str(), O_RDONLY);
  const char* device = setup.out == out_to::dev_full ? "/dev/full" : "/dev/null";
  const int out = setup.out == out_to::reader_gone ? pipe_write_end : open(device, O_WRONLY);
  if (err < 0 || in < 0 || out < 0) return false;
  dup2(in, 0);
  dup2(out, 1);
  dup2(err, 2);
  for (int fd : {in, out, err, pipe_write_end})
    if (fd > 2) close(fd);
  if (setup.in == in_from::closed) close(0);
  if (setup.out == out_to::closed) close(1);
  signal(SIGPIPE, setup.ignore_sigpipe ? SIG_IGN : SIG_DFL);
  if (setup.size_limit > 0) {
    const rlimit limit{static_cast<rlim_t>(setup.size_limit), static_cast<rlim_t>(setup.size_limit)};
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  return true;
}

faulted_run run_faulted(const run_request& plain, const stream_setup& setup) {
  const run_request request = through_emulator(plain);
  temp_dir scratch;
  const std::string err_path = scratch / "err";
  int ends[2];
  if (pipe(ends) != 0) return {};
  close(ends[0]);
  std::vector<std::string> args = request.argv;
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const pid_t pid = fork();
  if (pid == 0) {
    if (!request.cwd.empty() && chdir(request.cwd.c_str()) != 0) _exit(127);
    if (!set_up_streams(setup, ends[1], err_path)) _exit(127);
    execv(request.path.c_str(), argv.data());
    _exit(127);
  }
  close(ends[1]);
  faulted_run result;
  int wstatus = 0;
  const time_t deadline = time(nullptr) + 60;
  for (;;) {
    const pid_t done = waitpid(pid, &wstatus, WNOHANG);
    if (done == pid) break;
    if (done < 0) return result;
    if (time(nullptr) >= deadline) {
      result.timed_out = true;
      kill(pid, SIGKILL);
      waitpid(pid, &wstatus, 0);
      return result;
    }
    usleep(5000);
  }
  result.status = WIFEXITED(wstatus) ? WEXITSTATUS(wstatus) : 128 + WTERMSIG(wstatus);
  result.err = read_file(err_path);
  return result;
}

// old and new: 20000 lines each, no line in common, so that the listing is
// larger than a pipe holds.
void write_long_pair(const temp_dir& dir) {
  std::string old_text, new_text;
  for (int k = 0; k < 20000; ++k) {
    old_text += "old " + std::to_string(k) + "\n";
    new_text += "new " + std::to_string(k) + "\n";
  }
  write_file(dir / "old", old_text);
  write_file(dir / "new", new_text);
}

TEST(ClosedPipe, OutputNobodyReadsEndsTheRun) {
  temp_dir dir;
  write_long_pair(dir);
  write_file(dir / "small_old", "a\n");
  write_file(dir / "small_new", "b\n");
  write_file(dir / "empty", "");

  struct pipe_case {
    std::string program;
    args_list args;
    std::string input;  // file for standard input
    int status;
    bool started_ignored = false;  // SIGPIPE ignored when the run starts
  };
  const int killed = 128 + SIGPIPE;
  const pipe_case cases[] = {
      // Without "-" the signal keeps its default action.
      {ovarn_path(), {dir / "old", dir / "new"}, dir / "empty", killed},
      {ovarn_path(), {"-c", dir / "old", dir / "new"}, dir / "empty", killed},
      {ovarnh_path(), {dir / "old", dir / "new"}, dir / "empty", killed},
      // With "-" the run ends through its exit path, with the status it had
      // reached, and takes its spool file with it: both while the listing is
      // written and when the last of it is flushed at the end.
      {ovarn_path(), {"-", dir / "new"}, dir / "old", 1},
      {ovarn_path(), {dir / "small_old", "-"}, dir / "small_new", 1},
      // Also when the run was started with the signal ignored.
      {ovarn_path(), {"-", dir / "new"}, dir / "old", 1, true},
      {ovarn_path(), {dir / "small_old", "-"}, dir / "small_new", 1, true},
  };
  const std::string before = spool_files_snapshot();
  for (const auto& c : cases) {
    const std::string arg0 = c.program == ovarnh_path() ? "varnh" : "ovarn";
    stream_setup setup;
    setup.out = out_to::reader_gone;
    setup.input = c.input;
    setup.ignore_sigpipe = c.started_ignored;
    const faulted_run r = run_faulted(checked_request(c.program, arg0, c.args), setup);
    const std::string shown = ::testing::PrintToString(c.args);
    ASSERT_FALSE(r.timed_out) << shown;
    if (under_valgrind() && r.status == kValgrindErrorStatus) ADD_FAILURE() << "valgrind: " << shown;
    EXPECT_EQ(r.status, c.status) << shown;
  }
  EXPECT_EQ(spool_files_snapshot(), before);
}

// Writes that fail and reads that fail are never an answer: each run says
// what failed, ends with 2 whatever it found, and leaves no spool file.
TEST(FailedStreams, EveryFailedReadOrWriteIsReportedWithStatusTwo) {
  temp_dir dir;
  write_long_pair(dir);
  write_file(dir / "a", "a\nb\nc\n");
  write_file(dir / "b", "a\nB\nc\n");
  for (const char* side : {"da", "db"}) {
    make_dir(dir / side);
    write_file(dir / side + "/x", std::string(side) + "\n");
    write_file(dir / side + "/same", "same\n");
  }
  write_file(dir / "da/only", "only\n");

  const std::string full = "varn: standard output: " + error_text(ENOSPC) + "\n";
  const std::string bad_out = "varn: standard output: " + error_text(EBADF) + "\n";
  const std::string bad_in = "varn: standard input: " + error_text(EBADF) + "\n";
  const std::string dir_in = "varn: standard input: " + error_text(EISDIR) + "\n";
  const std::string piped = "varn: standard output: " + error_text(EPIPE) + "\n";
  const std::string helper = "varnh: standard ";
  const std::string too_large = ": " + error_text(EFBIG) + "\n";

  stream_setup to_full, out_closed, reader_gone, in_dir, in_closed, size_limit;
  to_full.out = out_to::dev_full;
  to_full.input = dir / "b";
  out_closed.out = out_to::closed;
  out_closed.input = dir / "b";
  reader_gone.out = out_to::reader_gone;
  reader_gone.ignore_sigpipe = true;
  reader_gone.input = dir / "old";
  in_dir.input = dir.path();
  in_closed.in = in_from::closed;
  size_limit.size_limit = 64 * 1024;
  size_limit.input = dir / "new";

  struct stream_case {
    args_list args;
    stream_setup setup;
    std::string err;  // regular expression the whole of standard error matches
  };
  const stream_case cases[] = {
      // A full disk, in every format, in directory mode and under -h.
      {{"a", "b"}, to_full, full},
      {{"-e", "a", "b"}, to_full, full},
      {{"-f", "a", "b"}, to_full, full},
      {{"-n", "a", "b"}, to_full, full},
      {{"-c", "a", "b"}, to_full, full},
      {{"-DX", "a", "b"}, to_full, full},
      {{"-e", "old", "new"}, to_full, full},
      {{"-", "a"}, to_full, full},
      {{"-h", "a", "b"}, to_full, helper + "output: " + error_text(ENOSPC) + "\n"},
      // Each child run reports its own output, the directory run its own
      // last; pr reports in its own words.
      {{"da", "db"}, to_full, "(" + full + ")+"},
      {{"-l", "da", "db"}, to_full, "(pr: .*\n|" + full + ")*" + full},
      // Standard output closed: no file of the run takes its place.
      {{"a", "b"}, out_closed, bad_out},
      {{"-", "a"}, out_closed, bad_out},
      {{"da", "db"}, out_closed, "(" + bad_out + ")+"},
      {{"-h", "a", "b"}, out_closed, helper + "output: " + error_text(EBADF) + "\n"},
      // A reader that has gone while SIGPIPE is ignored (a run that spools
      // standard input catches it: see ClosedPipe).
      {{"old", "new"}, reader_gone, piped},
      {{"-c", "old", "new"}, reader_gone, piped},
      // Standard input that cannot be read, "-" first and second.
      {{"-", "b"}, in_dir, dir_in},
      {{"a", "-"}, in_dir, dir_in},
      {{"-", "b"}, in_closed, bad_in},
      {{"a", "-"}, in_closed, bad_in},
      {{"-h", "a", "-"}, in_dir, helper + "input: " + error_text(EISDIR) + "\n"},
      {{"-h", "a", "-"}, in_closed, helper + "input: " + error_text(EBADF) + "\n"},
      // Under -h a first "-" is an option group.
      {{"-h", "-", "b"}, in_closed, "varnh: must have 2 file arguments\n"},
      // The spool file meets the file-size limit: its write fails.
      {{"-", "old"}, size_limit, "varn: /tmp/d[A-Za-z0-9]{5}" + too_large},
      {{"old", "-"}, size_limit, "varn: /tmp/d[A-Za-z0-9]{5}" + too_large},
  };
  const std::string before = spool_files_snapshot();
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.args) + " on input " + c.setup.input);
    run_request request = checked_request(ovarn_path(), "ovarn", c.args);
    request.cwd = dir.path();
    const bool execs = c.args[0] == "-h" || c.args.back() == "db";
    if (execs && programs_emulated()) continue;
    const faulted_run r = run_faulted(request, c.setup);
    ASSERT_FALSE(r.timed_out);
    EXPECT_TRUE(std::regex_match(r.err, std::regex(c.err))) << r.err;
    EXPECT_EQ(r.status, 2);
  }
  EXPECT_EQ(spool_files_snapshot(), before);
}

// A file whose every read fails (as on a failing disk) is not an empty file.
TEST(FailedStreams, FileThatCannotBeReadIsNotEmpty) {
  const std::string failing = "/proc/self/mem";
  if (access(failing.c_str(), R_OK) != 0) GTEST_SKIP() << "no " << failing;
  temp_dir dir;
  write_file(dir / "text", "text\n");
  run_result r = checked_ovarn({failing, dir / "text"});
  EXPECT_EQ(r.err, "varn: " + failing + ": " + error_text(EIO) + "\n");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 2);
  r = checked_ovarnh({dir / "text", failing});
  EXPECT_EQ(r.err, "varnh: " + failing + ": " + error_text(EIO) + "\n");
  EXPECT_EQ(r.status, 2);
}

}  // namespace
