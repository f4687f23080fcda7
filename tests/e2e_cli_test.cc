// The command line of ovarn, its messages and exit statuses, and the spool
// file for standard input, through the installed program.
#include <errno.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

struct message_case {
  std::vector<std::string> args;
  std::string err;
};

TEST(CommandLine, RefusalsPrintTheirMessageAndEndWithStatusTwo) {
  temp_dir dir;
  write_file(dir / "a", "a\n");
  write_file(dir / "b", "b\n");
  const std::string a = dir / "a", b = dir / "b";
  const std::string missing = dir / "missing";
  const message_case cases[] = {
      {{}, "varn: two filename arguments required\n"},
      {{a}, "varn: two filename arguments required\n"},
      {{"x", a, b}, "varn: two filename arguments required\n"},
      {{"-b", "x", a, b}, "varn: two filename arguments required\n"},
      {{"-x", a, b}, "varn: -x: unknown option\n"},
      {{"-bx", a, b}, "varn: -x: unknown option\n"},
      {{"-xb", a, b}, "varn: -xb: unknown option\n"},
      {{"--", a, b}, "varn: --: unknown option\n"},
      {{"-c1x", a, b}, "varn: -c: bad count\n"},
      {{"-c1b", a, b}, "varn: -c: bad count\n"},
      {{"-S", a, b}, "varn: use -Sstart\n"},
      {{"-h", "-e", missing, missing}, "varn: -h doesn't support -e, -f, -n, -c, or -I\n"},
      {{"-e", "-h", missing, missing}, "varn: -h doesn't support -e, -f, -n, -c, or -I\n"},
      {{"-hc", missing, missing}, "varn: -h doesn't support -e, -f, -n, -c, or -I\n"},
      {{"-hDX", missing, missing}, "varn: -h doesn't support -e, -f, -n, -c, or -I\n"},
      {{"-hf", missing, missing}, "varn: -h doesn't support -e, -f, -n, -c, or -I\n"},
      {{"-hn", missing, missing}, "varn: -h doesn't support -e, -f, -n, -c, or -I\n"},
      {{missing, b}, "varn: " + missing + ": " + error_text(ENOENT) + "\n"},
      {{missing, missing + "2"}, "varn: " + missing + ": " + error_text(ENOENT) + "\n"},
      {{a, missing}, "varn: " + missing + ": " + error_text(ENOENT) + "\n"},
      {{"-", missing}, "varn: " + missing + ": " + error_text(ENOENT) + "\n"},
      {{"-b", "-w"}, "varn: -b: " + error_text(ENOENT) + "\n"},
      {{"-", "-"}, "varn: can't specify - -\n"},
      {{"-", dir.path()}, "varn: can't specify - with other arg directory\n"},
      {{dir.path(), "-"}, "varn: can't specify - with other arg directory\n"},
  };
  for (const auto& c : cases) {
    run_result r = run_ovarn(c.args, "", dir.path());
    EXPECT_EQ(r.err, c.err) << ::testing::PrintToString(c.args);
    EXPECT_EQ(r.out, "") << ::testing::PrintToString(c.args);
    EXPECT_EQ(r.status, 2) << ::testing::PrintToString(c.args);
  }
}

TEST(CommandLine, OptionsThatPassReachTheComparison) {
  temp_dir dir;
  write_file(dir / "a", "a\n");
  write_file(dir / "b", "b\n");
  const std::vector<std::vector<std::string>> passing = {
      {"-b", "-", "-w"}, {"-bw"}, {"-cb"}, {"-c0"}, {"-Sfoo"}, {"-lSfoo"}, {"-i", "-t"},
  };
  for (const auto& args : passing) {
    std::vector<std::string> full = args;
    full.push_back(dir / "a");
    full.push_back(dir / "b");
    run_result r = run_ovarn(full);
    EXPECT_EQ(r.status, 1) << ::testing::PrintToString(args) << r.err;
    EXPECT_EQ(r.err, "");
  }
}

TEST(SpoolFile, StandardInputIsComparedAndTheSpoolFileRemoved) {
  temp_dir dir;
  write_file(dir / "a", "a\nb\nc\n");
  const std::string before = spool_files_snapshot();
  run_result r = run_ovarn({"-", dir / "a"}, "a\nx\nc\n");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "2c2\n< x\n---\n> b\n");
  r = run_ovarn({dir / "a", "-"}, "a\nb\nc\n");
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  // An empty standard input is an empty file.
  r = run_ovarn({"-", dir / "a"}, "");
  EXPECT_EQ(r.out, "0a1,3\n> a\n> b\n> c\n");
  EXPECT_EQ(spool_files_snapshot(), before);
}

TEST(SpoolFile, TheContextHeaderNamesTheSpoolFile) {
  temp_dir dir;
  write_file(dir / "a", "a\n");
  run_result r = run_ovarn({"-c", "-", dir / "a"}, "b\n");
  ASSERT_EQ(r.status, 1);
  ASSERT_EQ(r.out.rfind("*** /tmp/d", 0), 0u) << r.out;
  EXPECT_EQ(r.out[15], '\t') << r.out;
}

// Starts ovarn reading "-" from a pipe that is kept open, sends a signal once
// the spool file exists, and checks that it is gone afterwards: also when the
// run was started with the signal ignored, as a shell starts a background job
// with SIGINT ignored.
TEST(SpoolFile, SignalsRemoveTheSpoolFile) {
  temp_dir dir;
  write_file(dir / "a", "a\n");
  for (bool started_ignored : {false, true}) {
    for (int sig : {SIGHUP, SIGINT, SIGPIPE, SIGTERM}) {
      SCOPED_TRACE(started_ignored ? "started ignored" : "started at its default");
      const std::string before = spool_files_snapshot();
      int input[2];
      ASSERT_EQ(pipe(input), 0);
      pid_t pid = fork();
      if (pid == 0) {
        signal(sig, started_ignored ? SIG_IGN : SIG_DFL);
        dup2(input[0], 0);
        close(input[0]);
        close(input[1]);
        run_request request;
        request.path = ovarn_path();
        request.argv = {"ovarn", "-", dir / "a"};
        request = through_emulator(request);
        std::vector<char*> argv;
        for (auto& a : request.argv) argv.push_back(a.data());
        argv.push_back(nullptr);
        execv(request.path.c_str(), argv.data());
        _exit(127);
      }
      close(input[0]);
      ASSERT_EQ(write(input[1], "x\n", 2), 2);
      // Wait until the spool file appears.
      for (int i = 0; i < 500 && spool_files_snapshot() == before; ++i) usleep(10000);
      ASSERT_NE(spool_files_snapshot(), before) << sig;
      kill(pid, sig);
      int status = 0;
      waitpid(pid, &status, 0);
      close(input[1]);
      ASSERT_TRUE(WIFEXITED(status)) << sig;
      EXPECT_EQ(WEXITSTATUS(status), 2) << sig;
      EXPECT_EQ(spool_files_snapshot(), before) << sig;
    }
  }
}

TEST(SpoolFile, ConcurrentRunsUseDistinctSpoolFilesAndLeaveNone) {
  temp_dir dir;
  write_file(dir / "a", "a\nb\n");
  write_file(dir / "in", "a\nc\n");
  const std::string before = spool_files_snapshot();
  std::vector<pid_t> children;
  for (int k = 0; k < 20; ++k) {
    pid_t pid = fork();
    if (pid == 0) {
      run_request req;
      req.path = ovarn_path();
      req.argv = {"ovarn", "-", dir / "a"};
      req.input = "a\nc\n";
      run_result r = run_program(req);
      _exit(r.status == 1 && r.out == "2c2\n< c\n---\n> b\n" ? 0 : 1);
    }
    children.push_back(pid);
  }
  for (pid_t pid : children) {
    int status = 0;
    waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(spool_files_snapshot(), before);
}

}  // namespace

namespace {

TEST(HandOff, AMissingHelperIsReportedWithStatusTwo) {
  if (programs_emulated()) GTEST_SKIP() << kExecUnderEmulation;
  temp_dir dir;
  write_file(dir / "a", "a\n");
  write_file(dir / "b", "b\n");
  run_request req;
  req.path = variant_path("ovarn_without_helpers");
  req.argv = {"ovarn", "-h", dir / "a", dir / "b"};
  run_result r = run_program(req);
  EXPECT_EQ(r.err, "varn: /nonexistent/libexec/ovarnh: " + error_text(ENOENT) + "\n");
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.status, 2);
}

}  // namespace
