// Anonymous page mappings for large tables. Where the system can move pages
// from one mapping into another (mremap on Linux) a growing table keeps its
// pages; elsewhere the caller copies.
#ifndef OVARN_PORT_MEMORY_H_
#define OVARN_PORT_MEMORY_H_

#include <cstdint>

// A mapping of length bytes that starts on a multiple of align (a power of
// two), marked for huge pages where the system has them; null on failure,
// and for a length beyond the address space.
void* map_huge_aligned(uint64_t length, uint64_t align);
void unmap_pages(void* start, uint64_t length);

// Moves the length bytes of pages at from into the start of the mapping at
// to, which has room for them, and unmaps them at from. False, with nothing
// moved, where the system cannot move pages or the move failed.
bool move_pages(void* from, uint64_t length, void* to);

// Settles how malloc serves the blocks that are not tables, once at start.
void tune_allocator();

#endif  // OVARN_PORT_MEMORY_H_
