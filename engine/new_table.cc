#include "engine/new_table.h"

#include <sys/mman.h>

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "cli/exit_run.h"

namespace {

constexpr uint64_t kHugePage = uint64_t{2} << 20;
// Below this a table stays on the heap. Tables that grow pass it early, so
// that few of their pages are ever faulted in one at a time.
constexpr uint64_t kMappedBytes = uint64_t{256} << 10;

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
  void* wide = mmap(nullptr, length + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                    -1, 0);
  if (wide == MAP_FAILED) files_too_big();
  auto first = reinterpret_cast<uintptr_t>(wide);
  uintptr_t start = (first + kHugePage - 1) & ~(kHugePage - 1);
  if (start > first) munmap(wide, start - first);
  uintptr_t end = first + length + kHugePage;
  uintptr_t kept_end = start + length;
  if (end > kept_end) munmap(reinterpret_cast<void*>(kept_end), end - kept_end);
#ifdef MADV_HUGEPAGE
  madvise(reinterpret_cast<void*>(start), kept_end - start, MADV_HUGEPAGE);
#endif
  return reinterpret_cast<table_header*>(start);
}

// Mappings are whole huge pages: a partly mapped one would be faulted in a
// small page at a time, and so would the rest of it after a move.
uint64_t page_round(uint64_t length) { return (length + kHugePage - 1) & ~(kHugePage - 1); }

table_header* place_table(uint64_t bytes) {
  table_header* header;
  uint64_t mapped = 0;
  if (bytes >= kMappedBytes) {
    mapped = page_round(sizeof(table_header) + bytes);
    header = map_aligned(mapped);
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
    munmap(header, header->mapped);
  } else {
    free(header);
  }
}

}  // namespace

void* new_table(uint64_t count, uint64_t elem_size) {
  return place_table(table_size(count, elem_size)) + 1;
}

void* resize_table(void* table, uint64_t count, uint64_t elem_size) {
  uint64_t bytes = table_size(count, elem_size);
  table_header* header = header_of(table);
  if (header->mapped != 0 && bytes >= kMappedBytes) {
    uint64_t mapped = page_round(sizeof(table_header) + bytes);
    if (mapped <= header->mapped) {
      // Shrinking gives the tail back; the table stays where it is.
      if (mapped < header->mapped)
        munmap(reinterpret_cast<char*>(header) + mapped, header->mapped - mapped);
      header->mapped = mapped;
      header->bytes = bytes;
      return table;
    }
  }
  table_header* moved = place_table(bytes);
  if (header->mapped != 0 && moved->mapped >= header->mapped) {
    // The old pages move into the start of the new mapping, huge pages
    // whole, as both start on a huge page: nothing is copied.
    void* to = mremap(header, header->mapped, header->mapped, MREMAP_MAYMOVE | MREMAP_FIXED, moved);
    if (to != MAP_FAILED) {
      moved->bytes = bytes;
      moved->mapped = page_round(sizeof(table_header) + bytes);
      return moved + 1;
    }
  }
  memcpy(moved + 1, table, std::min(bytes, header->bytes));
  release(header);
  return moved + 1;
}

void free_table(void* table) {
  if (table != nullptr) release(header_of(table));
}
