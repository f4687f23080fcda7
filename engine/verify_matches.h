// Verification of the pairings against the text, and the line offsets that
// output uses to read lines again.
#ifndef OVARN_ENGINE_VERIFY_MATCHES_H_
#define OVARN_ENGINE_VERIFY_MATCHES_H_

#include "engine/line_rules.h"
#include "engine/line_table.h"
#include "engine/match_result.h"

// Reads the old file old_path and the new file new_path side by side and
// drops the pairings of result.match_vector whose lines differ under rules;
// fills result.old_offsets and result.new_offsets (allocated by the caller,
// with result.line_count set). Files of a few megabytes and more are read in
// two parts at once, split at a line start that loading noted in
// tables.line_marks; the result is that of one pass. A file that cannot be
// opened ends the run with the perror line for its path.
void verify_matches(const line_rules& rules, const char* old_path, const char* new_path,
                    const line_tables& tables, match_result& result);

#endif  // OVARN_ENGINE_VERIFY_MATCHES_H_
