// How the main program sees lines: a file's complete lines, the 32-bit line
// hash by which the engine pairs them, and the character comparison by which
// it verifies a pairing, each under -b, -w and -i. The suite's own oracle,
// written from the rules the programs follow, not from their code.
#ifndef OVARN_TESTS_PROPERTY_LINE_RULES_H_
#define OVARN_TESTS_PROPERTY_LINE_RULES_H_

#include <cstdint>
#include <string>
#include <vector>

struct line_options {
  bool blank_runs = false;  // -b
  bool all_blanks = false;  // -w
  bool fold_case = false;   // -i
};

// Options from command-line letters such as "-bi"; other letters are ignored.
line_options options_from(const std::vector<std::string>& args);

// The lines of text that end with a newline, each with its newline. Bytes
// after the last newline are not a line.
std::vector<std::string> complete_lines(const std::string& text);

// The hash that pairs lines before verification (line given with its newline).
int32_t line_hash(const std::string& line, const line_options& options);

// Whether the verification lets two lines (each with its newline) pair.
bool lines_agree(const std::string& x, const std::string& y, const line_options& options);

// Whether, over every line of one file against every line of the other, equal
// hashes and agreement coincide. Only then is the engine's pairing a longest
// common subsequence of agreeing lines.
bool hashes_match_agreement(const std::vector<std::string>& old_lines,
                            const std::vector<std::string>& new_lines,
                            const line_options& options);

// Length of a longest common subsequence of agreeing lines.
int longest_common_subsequence(const std::vector<std::string>& old_lines,
                               const std::vector<std::string>& new_lines,
                               const line_options& options);

#endif  // OVARN_TESTS_PROPERTY_LINE_RULES_H_
