// The line matching of a file pair, from the loaded line tables to a verified
// match vector.
#ifndef OVARN_ENGINE_MATCH_LINES_H_
#define OVARN_ENGINE_MATCH_LINES_H_

#include "engine/line_rules.h"
#include "engine/line_table.h"
#include "engine/match_result.h"

// Runs, each step complete before the next: the check for files that share
// no line, the classes (build_line_classes), the candidate search,
// build_match_vector, and verify_matches against the files old_path and
// new_path. Consumes the line tables; gives the match vector and both
// offset tables for the change output.
match_result match_lines(const line_rules& rules, const char* old_path, const char* new_path,
                         line_tables& tables);

#endif  // OVARN_ENGINE_MATCH_LINES_H_
