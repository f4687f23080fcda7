// Allocation of the engine's tables.
#ifndef OVARN_ENGINE_NEW_TABLE_H_
#define OVARN_ENGINE_NEW_TABLE_H_

#include <cstdint>

// checked_alloc of count elements of elem_size bytes, the size refused
// beyond the 32-bit byte count as table_size does. Large tables are marked
// for huge pages where the system has them: page faults are a good part of
// the cost of large inputs. Not for tables that grow: the advice splits a
// block's mapping, and the system can then no longer move it on
// reallocation, so every growth would copy it.
void* new_table(uint64_t count, uint64_t elem_size);

#endif  // OVARN_ENGINE_NEW_TABLE_H_
