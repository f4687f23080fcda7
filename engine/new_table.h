// Allocation of the engine's tables.
//
// Large inputs make large tables, and on such inputs the first touch of each
// page of them was a good part of the whole run. Tables of 256 KiB or more
// are therefore mapped on their own, in whole huge pages of 2 MiB, and marked
// for huge pages, so that the system backs them with a fraction of the page
// faults; smaller ones come from malloc. The mapping of a freed table is kept
// for the next large tables, within the most memory the live tables have held
// at once. A table is resized and freed only through the functions below.
#ifndef OVARN_ENGINE_NEW_TABLE_H_
#define OVARN_ENGINE_NEW_TABLE_H_

#include <cstdint>

// A table of count elements of elem_size bytes, its contents unset. The size
// is refused beyond the 32-bit byte count as table_size does; a failed
// allocation ends the run as checked_alloc does.
void* new_table(uint64_t count, uint64_t elem_size);

// The table resized to count elements, its first elements kept; it may move.
void* resize_table(void* table, uint64_t count, uint64_t elem_size);

// Releases a table from new_table or resize_table; null does nothing.
void free_table(void* table);

#endif  // OVARN_ENGINE_NEW_TABLE_H_
