#include "engine/candidates.h"

#include <cstdlib>
#include <cstring>

#include "cli/exit_run.h"
#include "engine/equivalence.h"
#include "engine/line_table.h"
#include "engine/match_vector.h"
#include "engine/table_growth.h"

candidate* candidate_list = nullptr;
int32_t candidate_count = 0;
int32_t* chain_ends = nullptr;
int32_t* match_vector = nullptr;

namespace {

// One bit per new view position, set while a chain ends there. A class line
// that already ends a chain changes nothing in the search (it would find its
// own chain end, and the predecessor it picks up is never used, because the
// next line of the class lies beyond it), so it is passed over without a
// binary search. On files that are much alike that is most class lines.
uint64_t* chain_end_marks = nullptr;

// Element p: the new_pos of the candidate at chain_ends[p], kept beside it so
// that the binary search reads one compact array.
int32_t* chain_end_pos = nullptr;

// Records that candidate_list has room for.
uint64_t candidate_room = 0;

bool ends_a_chain(int32_t new_pos) { return (chain_end_marks[new_pos >> 6] >> (new_pos & 63)) & 1; }
void mark_chain_end(int32_t new_pos) { chain_end_marks[new_pos >> 6] |= uint64_t{1} << (new_pos & 63); }
void unmark_chain_end(int32_t new_pos) {
  chain_end_marks[new_pos >> 6] &= ~(uint64_t{1} << (new_pos & 63));
}

}  // namespace

void start_candidate_search() {
  uint32_t ends_size = table_size(static_cast<uint64_t>(sorted_count[0]) + 2, sizeof(int32_t));
  chain_ends = static_cast<int32_t*>(checked_alloc(ends_size));
  candidate_list = static_cast<candidate*>(checked_alloc(table_size(1, sizeof(candidate))));
  candidate_room = 1;
  candidate_count = 0;
  uint32_t marks_size = table_size(static_cast<uint64_t>(sorted_count[1]) / 64 + 1, sizeof(uint64_t));
  chain_end_marks = static_cast<uint64_t*>(checked_alloc(marks_size));
  memset(chain_end_marks, 0, marks_size);
  chain_end_pos = static_cast<int32_t*>(checked_alloc(ends_size));
}

void end_candidate_search() {
  free(chain_end_pos);
  chain_end_pos = nullptr;
  free(chain_end_marks);
  chain_end_marks = nullptr;
  free(candidate_list);
  candidate_list = nullptr;
  free(chain_ends);
  chain_ends = nullptr;
}

int32_t add_candidate(int32_t old_pos, int32_t new_pos, int32_t prev) {
  uint64_t needed = static_cast<uint64_t>(candidate_count) + 1;
  candidate_list = static_cast<candidate*>(
      grow_table(candidate_list, needed, sizeof(candidate), &candidate_room));
  candidate_list[candidate_count] = candidate{old_pos, new_pos, prev};
  return candidate_count++;
}

int32_t search_candidates(const int32_t* end_pos, int32_t k, int32_t y) {
  // A pairing that lengthens the longest chain costs one comparison.
  if (end_pos[k] < y) return k + 1;
  int32_t lo = 0;
  int32_t hi = k + 1;
  for (;;) {
    int32_t mid = (lo + hi) / 2;
    if (mid <= lo) return mid + 1;
    int32_t t = end_pos[mid];
    if (t > y) {
      hi = mid;
    } else if (t < y) {
      lo = mid;
    } else {
      return mid;
    }
  }
}

int32_t find_candidates(const int32_t* old_classes, int32_t old_count, const int32_t* class_list,
                        int32_t* ends) {
  ends[0] = add_candidate(0, 0, 0);
  chain_end_pos[0] = 0;
  int32_t k = 0;
  constexpr int32_t kLookAhead = 16;  // old lines whose class start is fetched early
  for (int32_t i = 1; i <= old_count; ++i) {
    if (i + kLookAhead <= old_count) __builtin_prefetch(&class_list[old_classes[i + kLookAhead]]);
    int32_t pos = old_classes[i];
    if (pos == 0) continue;
    int32_t y = -class_list[pos];  // the class starts with its first line negated
    int32_t last_replaced = 0;
    int32_t pred = ends[0];  // the predecessor a new pairing of line i names
    for (;;) {
      if (y > candidate_list[pred].new_pos && !ends_a_chain(y)) {
        int32_t s = search_candidates(chain_end_pos, k, y);
        if (s != last_replaced + 1) pred = ends[s - 1];
        if (s == k + 1) {
          ends[s] = add_candidate(i, y, pred);
          chain_end_pos[s] = y;
          mark_chain_end(y);
          ++k;
          break;  // nothing later in the class can do better for line i
        }
        if (chain_end_pos[s] > y) {
          int32_t replaced = ends[s];
          unmark_chain_end(chain_end_pos[s]);
          ends[s] = add_candidate(i, y, pred);
          chain_end_pos[s] = y;
          mark_chain_end(y);
          pred = replaced;
          last_replaced = s;
        }
      }
      y = class_list[++pos];
      if (y <= 0) break;  // the next class starts, or the list ends
    }
  }
  return k;
}

void allocate_match_vector() {
  uint32_t size = table_size(static_cast<uint64_t>(line_count[0]) + 2, sizeof(int32_t));
  match_vector = static_cast<int32_t*>(checked_alloc(size));
}

void build_match_vector(int32_t last) {
  const int32_t old_lines = line_count[0];
  const int32_t shift = line_count[1] - old_lines;
  for (int32_t i = 0; i <= old_lines; ++i) {
    if (i <= prefix_len) {
      match_vector[i] = i;
    } else if (i > old_lines - suffix_len) {
      match_vector[i] = i + shift;
    } else {
      match_vector[i] = 0;
    }
  }
  for (int32_t c = last; candidate_list[c].new_pos != 0; c = candidate_list[c].prev)
    match_vector[candidate_list[c].old_pos + prefix_len] = candidate_list[c].new_pos + prefix_len;
}
