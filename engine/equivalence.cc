#include "engine/equivalence.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cassert>
#include <cstdlib>
#include <utility>

#include "base/run_both.h"

namespace {

// Number of pairs from the start of both tables whose keys agree.
int32_t common_prefix(const line_tables& tables) {
  int32_t limit = std::min(tables.line_count[0], tables.line_count[1]);
  const line_entry* old_table = tables.line_table[0].data();
  const line_entry* new_table = tables.line_table[1].data();
  int32_t n = 0;
  while (n < limit && old_table[n + 1].key == new_table[n + 1].key) ++n;
  return n;
}

// Number of pairs from the end of both tables whose keys agree, never
// reaching into the prefix of either file.
int32_t common_suffix(const line_tables& tables, int32_t prefix) {
  const int32_t* count = tables.line_count;
  int32_t limit = std::min(count[0] - prefix, count[1] - prefix);
  const line_entry* old_end = tables.line_table[0].data() + count[0] + 1;
  const line_entry* new_end = tables.line_table[1].data() + count[1] + 1;
  int32_t n = 0;
  while (n < limit && old_end[-(n + 1)].key == new_end[-(n + 1)].key) ++n;
  return n;
}

void number_view(line_entry* view, int32_t count) {
  for (int32_t j = 0; j <= count; ++j) view[j].view_pos = j;
}

bool by_position(const line_entry& a, const line_entry& b) { return a.view_pos < b.view_pos; }

bool by_key_then_position(const line_entry& a, const line_entry& b) {
  return a.key != b.key ? a.key < b.key : a.view_pos < b.view_pos;
}

// Stable sort of count entries by key, through a scratch copy: digit by
// digit from the lowest, over the bits in which the keys differ from the
// least of them. Line hashes span about 17 bits, which takes two passes.
void radix_sort_by_key(line_entry* entries, int32_t count) {
  auto [least, most] = std::minmax_element(
      entries, entries + count,
      [](const line_entry& a, const line_entry& b) { return a.key < b.key; });
  const int64_t low = least->key;
  const auto span = static_cast<uint32_t>(static_cast<int64_t>(most->key) - low);
  const int bits = std::bit_width(span);
  if (bits == 0) return;  // every key is the same
  constexpr int kMostDigitBits = 11;
  const int passes = (bits + kMostDigitBits - 1) / kMostDigitBits;
  const int digit_bits = (bits + passes - 1) / passes;
  const uint32_t digit_mask = (uint32_t{1} << digit_bits) - 1;
  auto offset = [low](const line_entry& entry) {
    return static_cast<uint32_t>(static_cast<int64_t>(entry.key) - low);
  };

  static_assert((32 + kMostDigitBits - 1) / kMostDigitBits == 3);
  std::array<uint32_t, (size_t{3} << kMostDigitBits)> starts{};
  for (int32_t n = 0; n < count; ++n) {
    uint32_t value = offset(entries[n]);
    for (int pass = 0; pass < passes; ++pass)
      ++starts[(static_cast<size_t>(pass) << digit_bits) + ((value >> (pass * digit_bits)) & digit_mask)];
  }
  table<line_entry> scratch(static_cast<uint64_t>(count));
  line_entry* from = entries;
  line_entry* to = scratch.data();
  for (int pass = 0; pass < passes; ++pass) {
    uint32_t* start = starts.data() + (static_cast<size_t>(pass) << digit_bits);
    uint32_t total = 0;
    for (uint32_t digit = 0; digit <= digit_mask; ++digit) {
      uint32_t here = start[digit];
      start[digit] = total;
      total += here;
    }
    const int shift = pass * digit_bits;
    for (int32_t n = 0; n < count; ++n) to[start[(offset(from[n]) >> shift) & digit_mask]++] = from[n];
    std::swap(from, to);
  }
  if (from != entries) std::copy(from, from + count, entries);
}

// The prefix, the suffix and both views, their view_pos fields unset.
void find_common_ends(line_tables& tables, line_classes& classes) {
  classes.prefix_len = common_prefix(tables);
  classes.suffix_len = common_suffix(tables, classes.prefix_len);
  for (int file = 0; file < 2; ++file) {
    classes.sorted_view[file] = tables.line_table[file].data() + classes.prefix_len;
    classes.sorted_count[file] = tables.line_count[file] - classes.prefix_len - classes.suffix_len;
  }
}

void number_views(line_classes& classes) {
  for (int file = 0; file < 2; ++file)
    number_view(classes.sorted_view[file], classes.sorted_count[file]);
}

// On two sorted views: replaces each old key by its class (or 0) and writes
// new_class_list into class_storage, which is the new table's storage.
void build_equivalence(line_entry* old_view, int32_t old_count, line_entry* new_view,
                       int32_t new_count, int32_t* class_storage);

// Writes the class of each old view line, in view order, into class_storage,
// which is the old table's storage, as old_line_class.
void restore_line_order(line_entry* old_view, int32_t old_count, int32_t* class_storage);

}  // namespace

void trim_common_ends(line_tables& tables, line_classes& classes) {
  find_common_ends(tables, classes);
  number_views(classes);
}

// The order is total (positions are distinct within a view), so any correct
// sort gives the one result. A view fresh from trim_common_ends is in
// position order, so a stable sort by key alone gives that order: a radix
// sort, digit by digit (of at most 11 bits) from the lowest, does it in a
// few linear passes.
void sort_line_view(line_entry* view, int32_t count) {
  line_entry* first = view + 1;
  line_entry* last = first + count;
  constexpr int32_t kSmallView = 64;
  if (count >= kSmallView && std::is_sorted(first, last, by_position)) {
    radix_sort_by_key(first, count);
  } else {
    std::sort(first, last, by_key_then_position);
  }
}

namespace {

void build_equivalence(line_entry* old_view, int32_t old_count, line_entry* new_view,
                       int32_t new_count, int32_t* class_storage) {
  int32_t i = 1;
  for (int32_t j = 1; i <= old_count && j <= new_count;) {
    if (old_view[i].key < new_view[j].key) {
      old_view[i++].key = 0;
    } else if (old_view[i].key == new_view[j].key) {
      old_view[i++].key = j;  // every old line of this hash gets the class start
    } else {
      ++j;
    }
  }
  for (; i <= old_count; ++i) old_view[i].key = 0;
  new_view[new_count + 1].key = 0;  // no line hashes to 0: ends the last class

  // Element j lies before view entry j in the same storage, and entry j is
  // read in full before element j is written, so the build runs in place.
  int32_t previous_key = 0;
  for (int32_t j = 1; j <= new_count; ++j) {
    int32_t key = new_view[j].key;
    int32_t pos = new_view[j].view_pos;
    class_storage[j] = key != previous_key ? -pos : pos;
    previous_key = key;
  }
  class_storage[new_count + 1] = -1;
}

void restore_line_order(line_entry* old_view, int32_t old_count, int32_t* class_storage) {
  table<int32_t> scratch(static_cast<uint64_t>(old_count) + 1);
  for (int32_t i = 1; i <= old_count; ++i) scratch[old_view[i].view_pos] = old_view[i].key;
  std::copy(scratch.data() + 1, scratch.data() + 1 + old_count, class_storage + 1);
}

// The storage of line table file, handed over as the vector that replaces
// it, shrunk to count + 2 elements.
table<int32_t> reuse_line_table(line_tables& tables, int file, int32_t count) {
  table<int32_t> vector = reuse_table<int32_t>(std::move(tables.line_table[file]));
  vector.resize(static_cast<uint64_t>(count) + 2);
  return vector;
}

// The least and the most key of the view's entries 1..count.
std::pair<int64_t, int64_t> key_span(const line_entry* view, int32_t count) {
  int32_t least = view[1].key;
  int32_t most = least;
  for (int32_t j = 2; j <= count; ++j) {
    least = std::min(least, view[j].key);
    most = std::max(most, view[j].key);
  }
  return {least, most};
}

// The new view's keys moved to the top of its own table, so that the class
// list can be built from the table's start over entries already read: the
// key of line j goes to element j of the result. The move runs from the last
// line down, each key read before anything is written over it (the view
// holds two elements a line, and the top region starts above the keys of
// the lines below). Counts the lines of each key into count on the way.
const int32_t* lift_new_keys(line_tables& tables, const line_classes& classes, int64_t low,
                             int32_t* count) {
  const int32_t new_count = classes.sorted_count[1];
  const line_entry* new_view = classes.sorted_view[1];
  const uint64_t elements = tables.line_table[1].room() * 2;
  auto* storage = reinterpret_cast<int32_t*>(tables.line_table[1].data());
  assert(elements > 2 * (static_cast<uint64_t>(classes.prefix_len) + new_count) + 2);
  int32_t* top = storage + (elements - new_count - 1);
  for (int32_t j = new_count; j >= 1; --j) {
    const int32_t key = new_view[j].key;
    ++count[key - low];
    top[j] = key;
  }
  return top;
}

}  // namespace

bool count_line_classes(line_tables& tables, line_classes& classes) {
  const int32_t old_count = classes.sorted_count[0];
  const int32_t new_count = classes.sorted_count[1];
  const line_entry* old_view = classes.sorted_view[0];
  constexpr int32_t kFewestCounted = 1024;
  constexpr int32_t kWorthAThread = 1 << 16;
  if (new_count < kFewestCounted) return false;
  const std::pair<int64_t, int64_t> keys = key_span(classes.sorted_view[1], new_count);
  const int64_t low = keys.first;
  const int64_t high = keys.second;
  // Every key value gets a counter, twice: worth it only when they are no
  // more than the lines, and the counters stay a few megabytes.
  const uint64_t span = static_cast<uint64_t>(high - low) + 1;
  constexpr uint64_t kMostCounters = uint64_t{1} << 20;
  if (span > static_cast<uint64_t>(new_count) || span > kMostCounters) return false;

  // Per key: the count of new lines, then the index in the class list at
  // which its class starts, negated until the class's first line is placed,
  // or 0 for a key no new line has.
  table<int32_t> starts = zeroed_table<int32_t>(span);
  int32_t* start = starts.data();
  const int32_t* new_keys = lift_new_keys(tables, classes, low, start);
  int32_t next = 1;
  for (uint64_t k = 0; k < span; ++k) {
    int32_t lines = start[k];
    start[k] = lines != 0 ? -next : 0;
    next += lines;
  }

  // The old lines' classes and the class list are built at the same time,
  // the list with a copy of the starts of its own to advance.
  table<int32_t> places(span);
  int32_t* place = places.data();
  std::copy(start, start + span, place);
  auto* old_classes = reinterpret_cast<int32_t*>(tables.line_table[0].data());
  auto* class_list = reinterpret_cast<int32_t*>(tables.line_table[1].data());
  run_both(
      new_count >= kWorthAThread, tables.operand_bytes,
      [&] {
        // Element i is written over entries already read: the class of each
        // old line goes into the old table's storage in view order.
        for (int32_t i = 1; i <= old_count; ++i) {
          int64_t key = old_view[i].key;
          old_classes[i] = key >= low && key <= high ? -start[key - low] : 0;
        }
      },
      [&] {
        // The new lines are taken in position order, so each class gets its
        // lines rising. The list is written below the lifted keys.
        class_list[0] = 0;
        for (int32_t j = 1; j <= new_count; ++j) {
          int32_t& at = place[new_keys[j] - low];
          if (at < 0) {  // the class's first line
            class_list[-at] = -j;
            at = -at + 1;
          } else {
            class_list[at++] = j;
          }
        }
        class_list[new_count + 1] = -1;
      });
  places.reset();
  starts.reset();

  classes.new_class_list = reuse_line_table(tables, 1, new_count);
  classes.old_line_class = reuse_line_table(tables, 0, old_count);
  return true;
}

void sort_line_classes(line_tables& tables, line_classes& classes) {
  line_entry* const* view = classes.sorted_view;
  const int32_t* count = classes.sorted_count;
  sort_line_view(view[0], count[0]);
  sort_line_view(view[1], count[1]);
  // Each vector is built in the storage of the table it replaces.
  build_equivalence(view[0], count[0], view[1], count[1],
                    reinterpret_cast<int32_t*>(tables.line_table[1].data()));
  classes.new_class_list = reuse_line_table(tables, 1, count[1]);
  restore_line_order(view[0], count[0], reinterpret_cast<int32_t*>(tables.line_table[0].data()));
  classes.old_line_class = reuse_line_table(tables, 0, count[0]);
}

void build_line_classes(line_tables& tables, line_classes& classes) {
  // Counting takes the views in position order: it needs no view_pos.
  find_common_ends(tables, classes);
  if (count_line_classes(tables, classes)) return;
  number_views(classes);
  sort_line_classes(tables, classes);
}
