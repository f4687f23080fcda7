// Growing a table one element at a time without a reallocation per element.
#ifndef OVARN_ENGINE_TABLE_GROWTH_H_
#define OVARN_ENGINE_TABLE_GROWTH_H_

#include <cstdint>

// Makes room for at least needed elements of elem_size bytes in block, which
// has room for *capacity of them (a table from new_table or
// resize_table). The room doubles when it runs out, but never beyond the
// 32-bit byte count; a need beyond that ends the run as table_size does.
// Returns the block, which may have moved, and updates *capacity.
void* grow_table(void* block, uint64_t needed, uint64_t elem_size, uint64_t* capacity);

#endif  // OVARN_ENGINE_TABLE_GROWTH_H_
