#include "base/table.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <mutex>

#include "base/exit_run.h"
#include "port/memory.h"

namespace {

constexpr uint64_t kHugePage = uint64_t{2} << 20;
// Below this a table stays on the heap: a huge page is faulted in whole at
// its first touch, so a smaller table in one of its own would hold up to
// eight times its size (two line tables of 50,000 lines held 4 MiB where
// they needed 0.8). Faulting in the pages below it one at a time costs
// little.
constexpr uint64_t kMappedBytes = kHugePage / 2;

// Stands before every table. Its size keeps a mapped table on a cache line;
// it asks for no more alignment than malloc gives.
struct table_header {
  uint64_t bytes;   // room for the table, the header not counted
  uint64_t mapped;  // length of the table's own mapping, or 0 on the heap
  uint64_t unused[6];
};
static_assert(sizeof(table_header) == 64);

table_header* header_of(void* table) { return static_cast<table_header*>(table) - 1; }

// A mapping of length bytes (header included) that starts on a huge page.
table_header* map_aligned(uint64_t length) {
  void* start = map_huge_aligned(length, kHugePage);
  if (start == nullptr) files_too_big();
  return static_cast<table_header*>(start);
}

// Mappings are whole huge pages: a partly mapped one would be faulted in a
// small page at a time, and so would the rest of it after a move.
uint64_t page_round(uint64_t length) { return (length + kHugePage - 1) & ~(kHugePage - 1); }

// Mappings of freed tables are kept as spares and handed to the next large
// tables: reusing a page costs nothing, while the first touch of a new one
// costs the system a page clearing. Spares are given back before they could
// make the mappings hold more than the live tables ever held together, so
// that keeping them never raises the most memory the run holds. Loading and
// verification make tables on two threads at once, hence the lock.
struct spare_mapping {
  char* start;
  uint64_t length;
};
constexpr int kMostSpares = 8;
struct spare_pool {
  std::mutex lock;
  spare_mapping spares[kMostSpares];
  int count = 0;
  uint64_t held = 0;       // bytes of live tables' mappings and spares
  uint64_t most_held = 0;  // the most that live tables' mappings have held
};
// Process-wide like malloc's own free lists: the spares outlive the tables
// of one comparison and serve the next.
spare_pool pool;

void drop_spare(int n) {
  unmap_pages(pool.spares[n].start, pool.spares[n].length);
  pool.held -= pool.spares[n].length;
  pool.spares[n] = pool.spares[--pool.count];
}

// The smallest spare of at least length bytes or, with none so long, the
// longest; -1 without spares.
int pick_spare(uint64_t length) {
  int fit = -1;
  int longest = -1;
  for (int n = 0; n < pool.count; ++n) {
    uint64_t have = pool.spares[n].length;
    if (have >= length && (fit < 0 || have < pool.spares[fit].length)) fit = n;
    if (longest < 0 || have > pool.spares[longest].length) longest = n;
  }
  return fit >= 0 ? fit : longest;
}

// Gives spares back, the longest first, until the mappings hold no more
// than live tables once did; then notes what live tables hold now.
void trim_spares() {
  while (pool.held > pool.most_held && pool.count > 0) drop_spare(pick_spare(UINT64_MAX));
  pool.most_held = std::max(pool.most_held, pool.held);
}

void keep_spare(char* start, uint64_t length) {
  if (pool.count == kMostSpares) drop_spare(pick_spare(0));  // the shortest
  pool.spares[pool.count++] = spare_mapping{start, length};
}

// A mapping of length bytes (a whole number of huge pages) that starts on a
// huge page, made of a spare where one is kept.
//
// A growing table's own mapping of moving_in bytes is about to be moved into
// the start of the new one: its pages are counted once, and so are the pages
// of a spare that they replace.
char* map_table(uint64_t length, uint64_t moving_in) {
  std::lock_guard<std::mutex> hold(pool.lock);
  pool.held -= moving_in;
  int n = pick_spare(length);
  if (n < 0) {
    pool.held += length;
    trim_spares();
    return reinterpret_cast<char*>(map_aligned(length));
  }
  spare_mapping spare = pool.spares[n];
  pool.spares[n] = pool.spares[--pool.count];
  if (spare.length > length) {
    // The rest stays a spare: both parts start on a huge page.
    keep_spare(spare.start + length, spare.length - length);
    return spare.start;
  }
  if (spare.length == length) return spare.start;
  // Too short: its pages open a new mapping, the rest of which is new.
  char* start = reinterpret_cast<char*>(map_aligned(length));
  if (!move_pages(spare.start, spare.length, start)) unmap_pages(spare.start, spare.length);
  pool.held += length - spare.length;
  trim_spares();
  return start;
}

// The mapping's pages are no longer needed by its table: they become a spare.
void retire_mapping(char* start, uint64_t length) {
  std::lock_guard<std::mutex> hold(pool.lock);
  keep_spare(start, length);
}

// A move announced to map_table did not happen after all: the pages
// stayed where they were.
void count_unmoved(uint64_t length) {
  std::lock_guard<std::mutex> hold(pool.lock);
  pool.held += length;
}

// moving_in as for map_table. A table is mapped from kMappedBytes on, made
// at its final size or grown: below, it stays on the heap and holds only the
// pages it uses (in huge pages the few small tables of one search held 6
// MiB where they needed one).
table_header* place_table(uint64_t bytes, uint64_t moving_in) {
  table_header* header;
  uint64_t mapped = 0;
  if (bytes >= kMappedBytes) {
    mapped = page_round(sizeof(table_header) + bytes);
    header = reinterpret_cast<table_header*>(map_table(mapped, moving_in));
  } else {
    // checked_alloc's sizes are 32-bit; the header fits beside any table
    // that table_size accepted below the mapping threshold.
    header = static_cast<table_header*>(
        checked_alloc(static_cast<uint32_t>(sizeof(table_header) + bytes)));
  }
  header->bytes = bytes;
  header->mapped = mapped;
  return header;
}

void release(table_header* header) {
  if (header->mapped != 0) {
    retire_mapping(reinterpret_cast<char*>(header), header->mapped);
  } else {
    free(header);
  }
}

}  // namespace

void* allocate_table(uint64_t count, uint64_t elem_size) {
  return place_table(table_size(count, elem_size), 0) + 1;
}

void* resize_table(void* table, uint64_t count, uint64_t elem_size) {
  if (table == nullptr) return allocate_table(count, elem_size);
  uint64_t bytes = table_size(count, elem_size);
  table_header* header = header_of(table);
  if (header->mapped != 0 && bytes >= kMappedBytes) {
    uint64_t mapped = page_round(sizeof(table_header) + bytes);
    if (mapped <= header->mapped) {
      // Shrinking gives the tail back; the table stays where it is.
      if (mapped < header->mapped)
        retire_mapping(reinterpret_cast<char*>(header) + mapped, header->mapped - mapped);
      header->mapped = mapped;
      header->bytes = bytes;
      return table;
    }
  }
  // A mapped table growing into a mapping moves its pages there.
  uint64_t old_mapped = header->mapped;
  bool moving = old_mapped != 0 && bytes >= kMappedBytes;
  table_header* moved = place_table(bytes, moving ? old_mapped : 0);
  if (moving) {
    // The old pages move into the start of the new mapping, huge pages
    // whole, as both start on a huge page: nothing is copied.
    const bool moved_pages = move_pages(header, old_mapped, moved);
    if (!moved_pages) count_unmoved(old_mapped);
    if (moved_pages) {
      moved->bytes = bytes;
      moved->mapped = page_round(sizeof(table_header) + bytes);
      return moved + 1;
    }
  }
  memcpy(moved + 1, table, std::min(bytes, header->bytes));
  release(header);
  return moved + 1;
}

void release_table(void* table) {
  if (table != nullptr) release(header_of(table));
}

void release_spare_tables() {
  std::lock_guard<std::mutex> hold(pool.lock);
  while (pool.count > 0) drop_spare(0);
  pool.most_held = pool.held;
}

uint64_t grown_room(uint64_t room, uint64_t needed, uint64_t elem_size) {
  table_size(needed, elem_size);  // refuses a need beyond the byte count
  uint64_t most = UINT32_MAX / elem_size;
  return std::min(std::max(needed, room * 2), most);
}
