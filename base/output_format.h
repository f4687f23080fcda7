// The output formats of a file pair; the last of c, D, e, f, n on the
// command line decides. An enum class, so that a switch that leaves a
// format out is warned about; a file that names the formats often says
// "using enum output_format".
#ifndef OVARN_BASE_OUTPUT_FORMAT_H_
#define OVARN_BASE_OUTPUT_FORMAT_H_

#include <cstdint>

enum class output_format : int32_t {
  FMT_EDIT = -1,      // -e: editor script, last change first
  FMT_NORMAL = 0,     // plain listing
  FMT_REVERSE = 1,    // -f: reversed script, in file order
  FMT_CONTEXT = 2,    // -c, -cN: context listing
  FMT_IFDEF = 3,      // -D, -DNAME: merged text with conditional lines
  FMT_NUMBERED = 4,   // -n: numbered add/delete script
};

#endif  // OVARN_BASE_OUTPUT_FORMAT_H_
