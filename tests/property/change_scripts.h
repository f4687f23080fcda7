// Readers of the main program's change formats, as the suite needs them: the
// line counts of a plain listing, the commands of the editor scripts (-e and
// -f), and an interpreter that applies a numbered script (-n) to the old
// file's lines. Each reports a text that does not have the form it expects.
#ifndef OVARN_TESTS_PROPERTY_CHANGE_SCRIPTS_H_
#define OVARN_TESTS_PROPERTY_CHANGE_SCRIPTS_H_

#include <string>
#include <vector>

// Old lines removed and new lines added by a plain listing.
struct listing_counts {
  bool well_formed = false;
  std::string fault;  // what was wrong, when not well formed
  long removed = 0;
  long added = 0;
};
listing_counts count_plain_listing(const std::string& listing);

// One command of an editor script: letter a, c or d on old lines first to
// last, with the text it inserts.
struct edit_command {
  char letter = 0;
  long first = 0;
  long last = 0;
  std::vector<std::string> text;
  bool operator==(const edit_command&) const = default;
};
struct edit_script {
  bool well_formed = false;
  std::string fault;
  std::vector<edit_command> commands;
};
// The -e form ("2,3c") when reversed is false, the -f form ("c2 3") when true.
// Text lines run up to a line that is a single ".".
edit_script read_edit_script(const std::string& script, bool reversed);

// The old lines with a numbered script applied ("dA N" deletes N lines from
// old line A, "aB N" adds the N lines that follow after old line B; numbers
// always name lines of the old file, in ascending order).
struct applied_script {
  bool well_formed = false;
  std::string fault;
  std::vector<std::string> lines;
};
applied_script apply_numbered_script(const std::vector<std::string>& old_lines,
                                     const std::string& script);

#endif  // OVARN_TESTS_PROPERTY_CHANGE_SCRIPTS_H_
