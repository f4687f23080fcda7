// Properties of the installed programs over seeded random pairs of files,
// checked through the programs that consume their output: ed, patch and
// unifdef, a small interpreter for the numbered script, and the suite's own
// longest-common-subsequence program.
//
// OVARN_PROPERTY_PAIRS sets the pairs per property (default 200: the quick
// slice); OVARN_PROPERTY_SEED the first seed (default 1). A failure names the
// seed, so that OVARN_PROPERTY_SEED=<seed> OVARN_PROPERTY_PAIRS=1 repeats it.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "tests/property/change_scripts.h"
#include "tests/property/checked_run.h"
#include "tests/property/clients.h"
#include "tests/property/line_rules.h"
#include "tests/property/random_pair.h"
#include "tests/support/temp_dir.h"

namespace {

using args_list = std::vector<std::string>;

long env_number(const char* name, long fallback) {
  const char* text = getenv(name);
  if (text == nullptr || *text == '\0') return fallback;
  return strtol(text, nullptr, 10);
}

long pair_count() { return env_number("OVARN_PROPERTY_PAIRS", 200); }
uint64_t first_seed() { return static_cast<uint64_t>(env_number("OVARN_PROPERTY_SEED", 1)); }

// The option sets the properties cycle through, one per seed.
const std::vector<args_list> kOptionSets = {
    {}, {"-b"}, {"-w"}, {"-i"}, {"-bi"}, {"-w", "-i"}, {"-bw"},
};

const args_list& options_for(uint64_t seed) { return kOptionSets[seed % kOptionSets.size()]; }

// A pair written to two files of a fresh directory.
struct pair_files {
  temp_dir dir;
  text_pair pair;
  std::string old_path;
  std::string new_path;
  explicit pair_files(text_pair p) : pair(std::move(p)), old_path(dir / "old"), new_path(dir / "new") {
    write_file(old_path, pair.old_text);
    write_file(new_path, pair.new_text);
  }
};

args_list command(const args_list& options, const args_list& format, const pair_files& files) {
  args_list args = options;
  args.insert(args.end(), format.begin(), format.end());
  args.push_back(files.old_path);
  args.push_back(files.new_path);
  return args;
}

std::string joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const auto& line : lines) text += line;
  return text;
}

// What a failure message shows about a pair and a run.
std::string context_of(uint64_t seed, const args_list& args, const pair_files& files,
                       const run_result& run) {
  std::string shown = "seed " + std::to_string(seed) + ", options";
  for (const auto& a : args) shown += " " + a;
  shown += "\n" + describe_pair(files.pair) + "\nstatus " + std::to_string(run.status) +
           "\nstandard output:\n" + escape_text(run.out) + "\nstandard error:\n" + escape_text(run.err);
  return shown;
}

// Whether produced holds lines that agree one by one with expected, under the
// options (byte for byte when there are none).
::testing::AssertionResult rebuilds(const std::string& produced, const std::string& expected,
                                    const line_options& options) {
  const std::vector<std::string> got = complete_lines(produced);
  const std::vector<std::string> want = complete_lines(expected);
  if (produced.size() != joined(got).size()) {
    return ::testing::AssertionFailure() << "result ends without a newline:\n" << escape_text(produced);
  }
  bool agree = got.size() == want.size();
  for (size_t k = 0; agree && k < got.size(); ++k) agree = lines_agree(got[k], want[k], options);
  if (agree) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "result differs from the new file:\n" << escape_text(produced);
}

// The run finished as a file-pair comparison does: status 0 or 1, no message.
::testing::AssertionResult compared(const run_result& run) {
  if (run.timed_out) return ::testing::AssertionFailure() << "timed out";
  if (run.status == kValgrindErrorStatus) return ::testing::AssertionFailure() << "valgrind found errors";
  if (run.status != 0 && run.status != 1) return ::testing::AssertionFailure() << "status " << run.status;
  if (!run.err.empty()) return ::testing::AssertionFailure() << "message " << escape_text(run.err);
  return ::testing::AssertionSuccess();
}

// Runs check for every seed of the slice and stops at the first pair that fails,
// so that one fault gives one readable report.
template <typename Check>
void for_each_seed(Check check) {
  const uint64_t first = first_seed();
  for (uint64_t seed = first; seed < first + static_cast<uint64_t>(pair_count()); ++seed) {
    check(seed);
    if (::testing::Test::HasFailure()) return;
  }
}

pair_shape whole_lines_shape() {
  pair_shape shape;
  shape.old_partial_line = false;
  shape.new_partial_line = false;
  return shape;
}

TEST(Property, EditScriptAppliedByEdGivesTheNewFile) {
  // ed cannot take a text line that is a single ".", and a script cannot
  // touch bytes after the last newline.
  pair_shape shape = whole_lines_shape();
  shape.dot_lines = false;
  for_each_seed([&](uint64_t seed) {
    pair_files files(random_pair(seed, shape));
    const args_list& options = options_for(seed);
    const run_result run = checked_ovarn(command(options, {"-e"}, files));
    const std::string shown = context_of(seed, options, files, run);
    ASSERT_TRUE(compared(run)) << shown;
    EXPECT_EQ(run.status, run.out.empty() ? 0 : 1) << shown;
    const client_result ed = ed_apply(files.pair.old_text, run.out);
    EXPECT_EQ(ed.status, 0) << ed.err << shown;
    EXPECT_TRUE(rebuilds(ed.text, files.pair.new_text, options_from(options))) << shown;
  });
}

TEST(Property, PlainListingAppliedByPatchGivesTheNewFile) {
  const pair_shape shape = whole_lines_shape();
  for_each_seed([&](uint64_t seed) {
    pair_files files(random_pair(seed, shape));
    const args_list& options = options_for(seed);
    const run_result run = checked_ovarn(command(options, {}, files));
    const std::string shown = context_of(seed, options, files, run);
    ASSERT_TRUE(compared(run)) << shown;
    EXPECT_EQ(run.status, run.out.empty() ? 0 : 1) << shown;
    const listing_counts counts = count_plain_listing(run.out);
    ASSERT_TRUE(counts.well_formed) << counts.fault << "\n" << shown;
    const long old_lines = complete_lines(files.pair.old_text).size();
    const long new_lines = complete_lines(files.pair.new_text).size();
    EXPECT_EQ(old_lines - counts.removed, new_lines - counts.added) << shown;
    if (run.out.empty()) {
      EXPECT_TRUE(rebuilds(files.pair.old_text, files.pair.new_text, options_from(options))) << shown;
      return;
    }
    const client_result patch = patch_apply(files.pair.old_text, run.out);
    EXPECT_EQ(patch.status, 0) << patch.err << shown;
    EXPECT_TRUE(rebuilds(patch.text, files.pair.new_text, options_from(options))) << shown;
  });
}

// Whether a context listing has a group with an empty window on one side
// ("--- 11 ----" for lines deleted after new line 11). That happens only
// without context lines, and patch reads such a range as the one line it
// names, so it cannot apply the group.
bool has_empty_window(const std::string& listing) {
  const std::vector<std::string> lines = complete_lines(listing);
  for (size_t at = 0; at < lines.size(); ++at) {
    const bool old_range = lines[at].rfind("*** ", 0) == 0 && lines[at].size() > 9 &&
                           lines[at].compare(lines[at].size() - 6, 6, " ****\n") == 0;
    const bool new_range = lines[at].rfind("--- ", 0) == 0 &&
                           lines[at].compare(lines[at].size() - 6, 6, " ----\n") == 0;
    if (!old_range && !new_range) continue;
    const std::string range = lines[at].substr(4, lines[at].size() - 10);
    const bool followed_by_text =
        at + 1 < lines.size() && lines[at + 1].size() >= 2 && lines[at + 1][1] == ' ' &&
        std::string("-+! ").find(lines[at + 1][0]) != std::string::npos;
    if (range != "0" && range.find(',') == std::string::npos && !followed_by_text) return true;
  }
  return false;
}

TEST(Property, ContextListingAppliedByPatchGivesTheNewFile) {
  const pair_shape shape = whole_lines_shape();
  const args_list counts = {"-c", "-c0", "-c1", "-c2", "-c5"};
  for_each_seed([&](uint64_t seed) {
    pair_files files(random_pair(seed, shape));
    const args_list format = {counts[seed % counts.size()]};
    const run_result run = checked_ovarn(command({}, format, files));
    const std::string shown = context_of(seed, format, files, run);
    ASSERT_TRUE(compared(run)) << shown;
    if (run.status == 0) {
      EXPECT_EQ(files.pair.old_text, files.pair.new_text) << shown;
      EXPECT_EQ(run.out, "No differences encountered\n") << shown;
      return;
    }
    EXPECT_EQ(run.out.rfind("*** " + files.old_path + "\t", 0), 0u) << shown;
    EXPECT_NE(run.out.find("\n--- " + files.new_path + "\t"), std::string::npos) << shown;
    if (format[0] == "-c0" && has_empty_window(run.out)) return;
    const client_result patch = patch_apply(files.pair.old_text, run.out);
    EXPECT_EQ(patch.status, 0) << patch.err << shown;
    EXPECT_EQ(escape_text(patch.text), escape_text(files.pair.new_text)) << shown;
  });
}

TEST(Property, MergedTextThroughUnifdefGivesBothFiles) {
  // Lines that unifdef would take for its own directives are left out, and
  // so are NUL bytes, at which unifdef stops; the new file's bytes after its
  // last newline never reach the merged text.
  pair_shape shape;
  shape.hash_lines = false;
  shape.new_partial_line = false;
  shape.nul_bytes = false;
  for_each_seed([&](uint64_t seed) {
    pair_files files(random_pair(seed, shape));
    const args_list& options = options_for(seed);
    const run_result run = checked_ovarn(command(options, {"-DNAME"}, files));
    const std::string shown = context_of(seed, options, files, run);
    ASSERT_TRUE(compared(run)) << shown;
    if (files.pair.old_text == files.pair.new_text) {
      EXPECT_EQ(run.status, 0) << shown;
      EXPECT_EQ(run.out, "") << shown;
      return;
    }
    EXPECT_EQ(run.status, 1) << shown;
    const client_result as_old = unifdef_apply(run.out, "-UNAME");
    EXPECT_TRUE(as_old.status == 0 || as_old.status == 1) << as_old.err << shown;
    EXPECT_EQ(escape_text(as_old.text), escape_text(files.pair.old_text)) << shown;
    // The old file's bytes after its last newline end the merged text.
    if (files.pair.old_text.empty() || files.pair.old_text.back() == '\n') {
      const client_result as_new = unifdef_apply(run.out, "-DNAME");
      EXPECT_TRUE(as_new.status == 0 || as_new.status == 1) << as_new.err << shown;
      EXPECT_TRUE(rebuilds(as_new.text, files.pair.new_text, options_from(options))) << shown;
    }
  });
}

TEST(Property, NumberedScriptAppliedToTheOldLinesGivesTheNewLines) {
  const pair_shape shape;  // every kind of line and ending
  for_each_seed([&](uint64_t seed) {
    pair_files files(random_pair(seed, shape));
    const args_list& options = options_for(seed);
    const run_result run = checked_ovarn(command(options, {"-n"}, files));
    const std::string shown = context_of(seed, options, files, run);
    ASSERT_TRUE(compared(run)) << shown;
    EXPECT_EQ(run.status, run.out.empty() ? 0 : 1) << shown;
    const applied_script applied =
        apply_numbered_script(complete_lines(files.pair.old_text), run.out);
    ASSERT_TRUE(applied.well_formed) << applied.fault << "\n" << shown;
    EXPECT_TRUE(rebuilds(joined(applied.lines), joined(complete_lines(files.pair.new_text)),
                         options_from(options)))
        << shown;
  });
}

TEST(Property, ReversedScriptNamesTheEditScriptChangesInFileOrder) {
  pair_shape shape;
  shape.dot_lines = false;  // a "." text line would end a text block early
  for_each_seed([&](uint64_t seed) {
    pair_files files(random_pair(seed, shape));
    const args_list& options = options_for(seed);
    const run_result edit = checked_ovarn(command(options, {"-e"}, files));
    const run_result reversed = checked_ovarn(command(options, {"-f"}, files));
    const std::string shown = context_of(seed, options, files, reversed);
    ASSERT_TRUE(compared(edit)) << shown;
    ASSERT_TRUE(compared(reversed)) << shown;
    EXPECT_EQ(edit.status, reversed.status) << shown;
    edit_script backward = read_edit_script(edit.out, false);
    const edit_script forward = read_edit_script(reversed.out, true);
    ASSERT_TRUE(backward.well_formed) << backward.fault << "\n" << shown;
    ASSERT_TRUE(forward.well_formed) << forward.fault << "\n" << shown;
    std::reverse(backward.commands.begin(), backward.commands.end());
    EXPECT_TRUE(backward.commands == forward.commands) << "-e script:\n" << escape_text(edit.out) << shown;
  });
}

TEST(Property, UnchangedLinesNumberALongestCommonSubsequence) {
  // The engine pairs lines by hash and then drops pairings that the text
  // comparison refuses. Where two lines agree under the options but hash
  // apart (carriage return, vertical tab or form feed under -b or -w), or
  // hash alike without agreeing, its result may fall short of the longest
  // subsequence: such pairs only check that it is no longer.
  pair_shape shape;
  shape.max_lines = 45;
  long exact = 0, bounded = 0;
  for_each_seed([&](uint64_t seed) {
    pair_files files(random_pair(seed, shape));
    const args_list& options = options_for(seed);
    const run_result run = checked_ovarn(command(options, {}, files));
    const std::string shown = context_of(seed, options, files, run);
    ASSERT_TRUE(compared(run)) << shown;
    const listing_counts counts = count_plain_listing(run.out);
    ASSERT_TRUE(counts.well_formed) << counts.fault << "\n" << shown;
    const std::vector<std::string> old_lines = complete_lines(files.pair.old_text);
    const std::vector<std::string> new_lines = complete_lines(files.pair.new_text);
    const line_options rules = options_from(options);
    const long unchanged = static_cast<long>(old_lines.size()) - counts.removed;
    EXPECT_EQ(unchanged, static_cast<long>(new_lines.size()) - counts.added) << shown;
    const long longest = longest_common_subsequence(old_lines, new_lines, rules);
    if (hashes_match_agreement(old_lines, new_lines, rules)) {
      ++exact;
      EXPECT_EQ(unchanged, longest) << shown;
    } else {
      ++bounded;
      EXPECT_LE(unchanged, longest) << shown;
    }
  });
  std::cout << "longest common subsequence: " << exact << " pairs exact, " << bounded
            << " pairs bounded (hash and agreement differ)\n";
  // Over a sample of some size, most pairs must check the length exactly, or
  // the property has lost its point.
  if (exact + bounded >= 50) {
    EXPECT_GT(exact, bounded) << "too few pairs check the length exactly";
  }
}

// The helper's listing with "$" replaced by the last line of its file, so
// that patch can read it.
std::string resolve_to_end(const std::string& listing, size_t old_count, size_t new_count) {
  std::string resolved;
  for (const std::string& line : complete_lines(listing)) {
    if (line.empty() || !isdigit(static_cast<unsigned char>(line[0]))) {
      resolved += line;
      continue;
    }
    const size_t letter = line.find_first_of("acd");
    std::string header = line;
    for (size_t at = header.find('$'); at != std::string::npos; at = header.find('$')) {
      header.replace(at, 1, std::to_string(at < letter ? old_count : new_count));
    }
    resolved += header;
  }
  return resolved;
}

TEST(Property, HelperListingAppliedByPatchGivesTheNewFileOrItGivesUp) {
  // The helper cuts lines longer than 254 bytes into several, and lists a
  // last line without its newline as it is: neither makes a listing patch
  // can read. Edits of up to 35 lines go beyond what it can resynchronise on.
  pair_shape shape = whole_lines_shape();
  shape.max_lines = 60;
  shape.max_edit_run = 35;
  shape.max_pool = 60;
  shape.long_lines = false;
  long resynchronised = 0, gave_up = 0;
  for_each_seed([&](uint64_t seed) {
    pair_files files(random_pair(seed, shape));
    // Half the pairs go through the main program's hand-off, which execs the
    // helper: under emulation all go to the helper directly.
    const bool hand_off = seed % 2 == 0 && !programs_emulated();
    const args_list operands = {files.old_path, files.new_path};
    const run_result run = hand_off ? checked_ovarn(command({"-h"}, {}, files))
                                    : checked_ovarnh(operands);
    const std::string shown = context_of(seed, hand_off ? args_list{"-h"} : args_list{}, files, run);
    ASSERT_FALSE(run.timed_out) << shown;
    if (run.status == 2) {
      ++gave_up;
      EXPECT_EQ(run.err, "varnh: can't resynchronize\n") << shown;
      const std::string tail = "---change record omitted\n";
      ASSERT_GE(run.out.size(), tail.size()) << shown;
      EXPECT_EQ(run.out.substr(run.out.size() - tail.size()), tail) << shown;
      return;
    }
    ASSERT_TRUE(compared(run)) << shown;
    if (run.status == 0) {
      EXPECT_EQ(run.out, "") << shown;
      EXPECT_EQ(files.pair.old_text, files.pair.new_text) << shown;
      return;
    }
    ++resynchronised;
    const std::string listing =
        resolve_to_end(run.out, complete_lines(files.pair.old_text).size(),
                       complete_lines(files.pair.new_text).size());
    const client_result patch = patch_apply(files.pair.old_text, listing);
    EXPECT_EQ(patch.status, 0) << patch.err << shown;
    EXPECT_EQ(escape_text(patch.text), escape_text(files.pair.new_text)) << shown;
  });
  std::cout << "helper: " << resynchronised << " listings applied, " << gave_up << " gave up\n";
}

// Spot checks of the suite's own oracle on the worked examples the programs
// are built to, so that a fault in the oracle is not taken for one in the
// programs.
TEST(PropertyOracle, AgreesWithTheWorkedExamples) {
  const line_options none, b{true, false, false}, w{false, true, false}, i{false, false, true};
  EXPECT_EQ(line_hash("\n", none), 1);
  EXPECT_EQ(line_hash("ab\n", none), 12642);
  EXPECT_EQ(line_hash("AB\n", i), 12642);
  EXPECT_EQ(line_hash("a b\n", none), 36986);
  EXPECT_EQ(line_hash("a b\n", w), 12642);
  EXPECT_EQ(line_hash("a  \t b\n", b), 32890);
  EXPECT_EQ(line_hash(" a b\n", b), 15553);
  EXPECT_TRUE(lines_agree("a b\n", "a\tb\n", b));
  EXPECT_TRUE(lines_agree("a b  \n", "a b\n", b));
  EXPECT_FALSE(lines_agree("a b\n", "ab\n", b));
  EXPECT_TRUE(lines_agree("a b\n", "ab\n", w));
  EXPECT_TRUE(lines_agree("[\n", "{\n", i));
  auto lines = [](const std::string& letters) {
    std::vector<std::string> result;
    for (char c : letters) result.push_back(std::string(1, c) + "\n");
    return result;
  };
  EXPECT_EQ(longest_common_subsequence(lines("abcabba"), lines("cbabac"), none), 4);
  const applied_script applied = apply_numbered_script(lines("abcde"), "d2 1\na4 1\nX\na5 1\nf\n");
  ASSERT_TRUE(applied.well_formed) << applied.fault;
  EXPECT_EQ(joined(applied.lines), "a\nc\nd\nX\ne\nf\n");
}

}  // namespace
