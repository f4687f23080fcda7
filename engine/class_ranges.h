// Where each class of new_class_list ends, found from its start in constant
// time. A class runs from its start (a negated element) up to the next start
// or the terminator; there are few classes, as the line hash has few values,
// so a bit per new line and a word per class suffice.
#ifndef OVARN_ENGINE_CLASS_RANGES_H_
#define OVARN_ENGINE_CLASS_RANGES_H_

#include <cstdint>

#include "base/table.h"

struct class_ranges {
  table<uint64_t> starts;         // bit x: class_list element x starts a class
  table<uint32_t> starts_before;  // per word of starts: the starts in earlier words
  table<int32_t> start_of_rank;   // the r-th start from 0, then the terminator's index
  int32_t count = 0;              // classes
};

// The ranges of the classes in class_list elements 1..new_count, whose
// element new_count + 1 is the terminator.
class_ranges make_class_ranges(const int32_t* class_list, int32_t new_count);

// The class_list index just after the last line of the class that starts at
// index start.
int32_t class_end(const class_ranges& ranges, int32_t start);

// The rank (0 up) of the class that starts at index start, in class_list
// order: class r starts at start_of_rank[r] and ends at start_of_rank[r + 1].
int32_t class_rank(const class_ranges& ranges, int32_t start);

#endif  // OVARN_ENGINE_CLASS_RANGES_H_
