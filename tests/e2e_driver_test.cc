// The file-pair driver through the installed program: the identity test over
// many blocks, binary reports, joining a directory operand, the hand-off to
// the helper, and larger pairs whose listings real clients apply.
#include <errno.h>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

// count lines "line N\n" from first on.
std::string numbered_lines(int first, int count) {
  std::string text;
  for (int n = first; n < first + count; ++n) text += "line " + std::to_string(n) + "\n";
  return text;
}

TEST(Driver, IdentityTestRunsOverManyBlocks) {
  temp_dir dir;
  const std::string text = numbered_lines(1, 700);  // several 1024-byte blocks
  std::string last_byte = text;
  last_byte[last_byte.size() - 2] = 'X';  // same size, differs in the final line
  write_file(dir / "old", text);
  write_file(dir / "same", text);
  write_file(dir / "last", last_byte);
  struct identity_case {
    std::string other;
    std::vector<std::string> options;
    int status;
    std::string out;
  };
  const identity_case cases[] = {
      {"same", {}, 0, ""},
      {"same", {"-c"}, 0, "No differences encountered\n"},
      {"same", {"-c0"}, 0, "No differences encountered\n"},
      {"same", {"-e"}, 0, ""},
      {"last", {}, 1, "700c700\n< line 700\n---\n> line 70X\n"},
  };
  for (const auto& c : cases) {
    std::vector<std::string> args = c.options;
    args.push_back(dir / "old");
    args.push_back(dir / c.other);
    run_result r = run_ovarn(args);
    EXPECT_EQ(r.status, c.status) << ::testing::PrintToString(args);
    EXPECT_EQ(r.out, c.out) << ::testing::PrintToString(args);
    EXPECT_EQ(r.err, "");
  }
}

TEST(Driver, BinaryFiles) {
  temp_dir dir;
  const std::string binary = std::string("\x07\x01", 2) + std::string(40, 'b') + "\n";
  std::string other_binary = binary;
  other_binary[10] = 'c';
  write_file(dir / "bin", binary);
  write_file(dir / "bin_copy", binary);
  write_file(dir / "bin_other", other_binary);
  write_file(dir / "text", "text\n");
  make_dir(dir / "d");
  write_file(dir / "d/bin", "text\n");

  // Identical bytes are identical whatever they hold.
  run_result r = run_ovarn({"-c", dir / "bin", dir / "bin_copy"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "No differences encountered\n");

  r = run_ovarn({dir / "bin", dir / "bin_other"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Binary files " + (dir / "bin") + " and " + (dir / "bin_other") + " differ\n");
  EXPECT_EQ(r.err, "");

  // The report names the joined path, in operand order.
  r = run_ovarn({dir / "d", dir / "bin"});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "Binary files " + (dir / "d") + "/bin and " + (dir / "bin") + " differ\n");

  // Standard input is named by its spool file.
  r = run_ovarn({"-", dir / "text"}, binary);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out.rfind("Binary files /tmp/d", 0), 0u) << r.out;
}

TEST(Driver, JoinedPathsAtTheBufferLimit) {
  temp_dir dir;
  // A directory path long enough that a joined name reaches 1024 bytes.
  std::string deep = dir.path();
  while (deep.size() < 800) {
    deep += "/" + std::string(std::min<size_t>(200, 800 - deep.size()), 'd');
    make_dir(deep);
  }
  const size_t fits = 1023 - deep.size() - 1;  // joined length 1023: room for the terminator
  const std::string short_name(fits, 'n');
  const std::string long_name(fits + 1, 'n');
  for (const std::string& name : {short_name, long_name}) {
    write_file(dir / name, "old\n");
    write_file(deep + "/" + name, "new\n");
  }

  run_result r = run_ovarn({dir / short_name, deep});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "1c1\n< old\n---\n> new\n");
  EXPECT_EQ(r.err, "");

  r = run_ovarn({dir / long_name, deep});
  EXPECT_EQ(r.status, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "varn: " + deep + "/" + long_name + ": " + error_text(ENAMETOOLONG) + "\n");
}

TEST(Driver, RelativeOperandsJoin) {
  temp_dir dir;
  make_dir(dir / "a");
  write_file(dir / "a/f", "1\n2\n");
  write_file(dir / "f", "1\n3\n");
  write_file(dir / "g", "1\n");
  run_result r = run_ovarn({"f", "a"}, "", dir.path());
  EXPECT_EQ(r.out, "2c2\n< 3\n---\n> 2\n");
  EXPECT_EQ(r.status, 1);
  r = run_ovarn({"a", "g"}, "", dir.path());
  EXPECT_EQ(r.err, "varn: a/g: " + error_text(ENOENT) + "\n");
  EXPECT_EQ(r.status, 2);
}

TEST(Driver, HandOffGivesTheHelperTheSameCommandLine) {
  if (programs_emulated()) GTEST_SKIP() << kExecUnderEmulation;
  temp_dir dir;
  make_dir(dir / "d");
  write_file(dir / "old", "a\nb\nc\n");
  write_file(dir / "new", "a\nB\nc\nd\n");
  write_file(dir / "d/new", "a\nb  c\n");
  // A pair on which the helper's window and the main program's longest
  // common subsequence list different changes.
  write_file(dir / "seven", "a\nb\nc\na\nb\nb\na\n");
  write_file(dir / "six", "c\nb\na\nb\na\nc\n");
  EXPECT_NE(run_ovarn({"-h", dir / "seven", dir / "six"}).out,
            run_ovarn({dir / "seven", dir / "six"}).out);
  const std::vector<std::vector<std::string>> command_lines = {
      {dir / "old", dir / "new"},
      {dir / "seven", dir / "six"},
      {"-b", dir / "old", dir / "new"},
      {"-w", "-i", dir / "old", dir / "new"},
      {dir / "old", dir / "old"},
      {dir / "d", dir / "new"},
      {"-", dir / "new"},
  };
  for (const auto& args : command_lines) {
    std::vector<std::string> handed = args;
    handed.insert(handed.begin(), "-h");
    run_result through = run_ovarn(handed, "x\nb\n");
    run_result direct = run_ovarnh(handed, "x\nb\n");
    EXPECT_EQ(through.out, direct.out) << ::testing::PrintToString(args);
    EXPECT_EQ(through.err, direct.err) << ::testing::PrintToString(args);
    EXPECT_EQ(through.status, direct.status) << ::testing::PrintToString(args);
  }
}

// Random edits of a numbered file, some lines repeated so that classes hold
// several lines.
std::string edited(const std::string& base, std::mt19937& rng) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < base.size()) {
    size_t end = base.find('\n', start);
    lines.push_back(base.substr(start, end - start + 1));
    start = end + 1;
  }
  std::uniform_int_distribution<int> what(0, 19);
  std::string text;
  for (const auto& line : lines) {
    switch (what(rng)) {
      case 0: break;                               // deleted
      case 1: text += "changed " + line; break;    // replaced
      case 2: text += "}\n" + line; break;         // a common line inserted
      case 3: text += line + line; break;          // doubled
      default: text += line;
    }
  }
  return text;
}

TEST(Driver, LargerPairsApplyBackWithPatchAndEd) {
  const std::string patch_path = outside_program("patch", "patch");
  const std::string ed_path = outside_program("ed", "ed");
  std::mt19937 rng(77);
  for (int round = 0; round < 4; ++round) {
    temp_dir dir;
    std::string base;
    for (int n = 0; n < 3000; ++n) base += n % 7 == 0 ? "}\n" : "line " + std::to_string(n) + "\n";
    const std::string old_text = edited(base, rng);
    const std::string new_text = edited(base, rng);
    write_file(dir / "old", old_text);
    write_file(dir / "new", new_text);

    run_result listing = run_ovarn({"old", "new"}, "", dir.path());
    ASSERT_EQ(listing.status, 1) << listing.err;
    run_request patch;
    patch.path = patch_path;
    patch.argv = {"patch", "-s", "-o", "patched", "old"};
    patch.input = listing.out;
    patch.cwd = dir.path();
    run_result p = run_program(patch);
    EXPECT_EQ(read_file(dir / "patched"), new_text) << p.out << p.err;

    run_result script = run_ovarn({"-e", "old", "new"}, "", dir.path());
    write_file(dir / "edited", old_text);
    run_request ed;
    ed.path = ed_path;
    ed.argv = {"ed", "-s", "edited"};
    ed.input = script.out + "w\nq\n";
    ed.cwd = dir.path();
    run_program(ed);
    EXPECT_EQ(read_file(dir / "edited"), new_text);
  }
}

}  // namespace
