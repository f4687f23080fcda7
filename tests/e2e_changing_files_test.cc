// Files that change under a run: emptied, rewritten, cut, grown or replaced
// between the steps of a comparison (through the test build that runs a
// command at each step), and rewritten without pause by a writer process
// while the program compares them in every format. Every run ends, with a
// status of 0 or 1 and nothing on standard error.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

using args_list = std::vector<std::string>;

// A hang shows as a timeout; a sanitizer report as text on standard error.
constexpr int kRunSeconds = 30;

void expect_orderly_end(const run_result& r, const args_list& args) {
  EXPECT_FALSE(r.timed_out) << ::testing::PrintToString(args);
  EXPECT_TRUE(r.status == 0 || r.status == 1)
      << "status " << r.status << " " << ::testing::PrintToString(args);
  EXPECT_EQ(r.err, "") << ::testing::PrintToString(args);
}

const args_list kAllFormats[] = {{},     {"-e"}, {"-f"}, {"-n"}, {"-c"}, {"-c0"},
                                 {"-DX"}, {"-D"}, {"-t"}, {"-w"}, {"-b"}, {"-i"}};

// --- at each step ------------------------------------------------------------

// The steps at which the test build runs its command, each with the step
// after it, where a change can be undone.
struct step {
  const char* name;
  const char* next;
};
const step kSteps[] = {{"identity", "load"},     {"load", "disjoint"},
                       {"disjoint", "verify"},   {"verify", "output"},
                       {"verify-again", "output"}, {"output", "none"}};

// Shell commands on the files in "$D": old and new, their first contents in
// old.keep and new.keep, other (a file to take new's place) and extra (lines
// to add).
struct file_change {
  const char* name;
  const char* at_step;
  const char* at_next;
};
const file_change kChanges[] = {
    {"new emptied", ": > \"$D/new\"", ":"},
    {"new emptied, rewritten at the next step", ": > \"$D/new\"",
     "cat \"$D/new.keep\" > \"$D/new\""},
    {"old emptied, rewritten at the next step", ": > \"$D/old\"",
     "cat \"$D/old.keep\" > \"$D/old\""},
    {"both emptied, rewritten at the next step", ": > \"$D/old\"; : > \"$D/new\"",
     "cat \"$D/old.keep\" > \"$D/old\"; cat \"$D/new.keep\" > \"$D/new\""},
    {"new cut inside a line", "head -c \"$CUT\" \"$D/new.keep\" > \"$D/new\"", ":"},
    {"new grown", "cat \"$D/extra\" >> \"$D/new\"", ":"},
    {"new replaced", "cp \"$D/other\" \"$D/tmp\" && mv \"$D/tmp\" \"$D/new\"", ":"},
};

struct file_pair {
  std::string old_text, new_text, other, extra;
};

// Every change at every step; in all the given formats where the change
// reaches the output's reading (at verification and output), in the first of
// them elsewhere. Verification is made again only after a pass in two parts.
void run_every_step(const file_pair& pair, bool two_parts, const std::vector<args_list>& formats) {
  temp_dir dir;
  const std::string cut = std::to_string(pair.new_text.size() / 2 + 1);
  for (const step& s : kSteps) {
    if (!two_parts && std::string(s.name) == "verify-again") continue;
    const bool reaches_output = std::string(s.name).starts_with("verify") ||
                                std::string(s.name) == "output";
    for (const file_change& change : kChanges) {
      SCOPED_TRACE(std::string(change.name) + " at " + s.name);
      for (size_t f = 0; f < (reaches_output ? formats.size() : 1); ++f) {
        write_file(dir / "old", pair.old_text);
        write_file(dir / "new", pair.new_text);
        write_file(dir / "old.keep", pair.old_text);
        write_file(dir / "new.keep", pair.new_text);
        write_file(dir / "other", pair.other);
        write_file(dir / "extra", pair.extra);
        run_request request;
        request.path = variant_path("ovarn_stage_hook");
        request.argv = {"ovarn"};
        request.argv.insert(request.argv.end(), formats[f].begin(), formats[f].end());
        request.argv.push_back(dir / "old");
        request.argv.push_back(dir / "new");
        request.env = {"D=" + dir.path(), "CUT=" + cut,
                       std::string("OVARN_STAGE_COMMAND=case \"$1\" in ") + s.name + ") " +
                           change.at_step + ";; " + s.next + ") " + change.at_next + ";; esac"};
        request.timeout_seconds = kRunSeconds;
        expect_orderly_end(run_program(request), request.argv);
      }
    }
  }
}

// The pair on which a broken pairing at the end of the new file once left a
// line of no bytes, and the output read it again and again.
TEST(ChangingFiles, SmallPairAtEveryStep) {
  // One format of each way of reading the output (-f, -c, -b and -i read as
  // -e, -c0 and -w do).
  run_every_step({"a\nb\nc\nd\n", "a\nb\nc\n", "x\ny\n", "e\nf\n"}, false,
                 {{}, {"-e"}, {"-n"}, {"-c0"}, {"-DX"}, {"-D"}, {"-t"}, {"-w"}});
}

// Lines of "w<n> " and tabs, with every tenth line changed in the new file.
file_pair large_pair(int lines) {
  file_pair pair;
  std::mt19937 random(15);
  for (int n = 0; n < lines; ++n) {
    std::string line = "w" + std::to_string(random() % 5000) + " \tline " + std::to_string(n);
    pair.old_text += line + "\n";
    pair.new_text += (n % 10 == 3 ? "changed " + line : line) + "\n";
  }
  pair.new_text = "first\n" + pair.new_text + "last\n";  // unlike ends: the disjoint check reads
  pair.other = pair.old_text.substr(0, pair.old_text.size() / 3);
  pair.extra = pair.new_text.substr(0, 4096);
  return pair;
}

// Large enough for verification in two parts (and again whole when the parts
// do not meet) and for reading on two threads.
TEST(ChangingFiles, LargePairAtEveryStep) {
  run_every_step(large_pair(110000), true, {{}, {"-c"}, {"-DX"}, {"-w"}});
}

// --- a writer in a loop -----------------------------------------------------

void write_whole(const std::string& path, const std::string& text, int flags) {
  int fd = open(path.c_str(), O_WRONLY | O_CREAT | flags, 0600);
  if (fd < 0) return;
  for (size_t done = 0; done < text.size();) {
    ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  close(fd);
}

// A child that empties, rewrites, cuts, grows and replaces the files until it
// is killed.
pid_t start_writer(const temp_dir& dir, const std::vector<std::string>& texts) {
  const std::string old_path = dir / "old";
  const std::string new_path = dir / "new";
  const std::string spare_path = dir / "spare";
  pid_t pid = fork();
  if (pid != 0) return pid;
  prctl(PR_SET_PDEATHSIG, SIGKILL);  // never outlives the test
  std::minstd_rand random(7);
  for (unsigned round = 0;; ++round) {
    const std::string& text = texts[random() % texts.size()];
    switch (round % 8) {
      case 0:
      case 1:
        write_whole(new_path, text, O_TRUNC);
        break;
      case 2:
        write_whole(spare_path, text, O_TRUNC);
        rename(spare_path.c_str(), new_path.c_str());
        break;
      case 3:
        write_whole(new_path, text.substr(0, text.size() / 5), O_APPEND);
        break;
      case 4: {
        int cut = truncate(new_path.c_str(), static_cast<off_t>(random() % (text.size() + 1)));
        (void)cut;  // a file renamed away meanwhile is no matter
        break;
      }
      case 5:
        write_whole(old_path, text, O_TRUNC);
        break;
      case 6:
        write_whole(new_path, "", O_TRUNC);
        break;
      default:
        write_whole(spare_path, text, O_TRUNC);
        rename(spare_path.c_str(), old_path.c_str());
        break;
    }
    usleep(static_cast<useconds_t>(random() % 3000));
  }
}

TEST(ChangingFiles, WriterInALoopAgainstEveryFormat) {
  temp_dir dir;
  const file_pair large = large_pair(3000);
  const std::vector<std::string> texts = {large.old_text, large.new_text, large.other,
                                          "a\nb\nc\nd\n", "a\nb\nc\n", ""};
  write_file(dir / "old", large.old_text);
  write_file(dir / "new", large.new_text);
  const pid_t writer = start_writer(dir, texts);
  ASSERT_GT(writer, 0);
  constexpr int kRounds = 36;  // times every format
  for (int round = 0; round < kRounds; ++round) {
    for (const args_list& format : kAllFormats) {
      args_list args = format;
      args.push_back(dir / "old");
      args.push_back(dir / "new");
      run_request request;
      request.path = ovarn_path();
      request.argv = {"ovarn"};
      request.argv.insert(request.argv.end(), args.begin(), args.end());
      request.timeout_seconds = kRunSeconds;
      expect_orderly_end(run_program(request), args);
    }
  }
  kill(writer, SIGKILL);
  waitpid(writer, nullptr, 0);
}

}  // namespace
