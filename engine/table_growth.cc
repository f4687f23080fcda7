#include "engine/table_growth.h"

#include <algorithm>

#include "cli/exit_run.h"
#include "engine/new_table.h"

void* grow_table(void* block, uint64_t needed, uint64_t elem_size, uint64_t* capacity) {
  if (needed <= *capacity) return block;
  table_size(needed, elem_size);  // refuses a need beyond the byte count
  uint64_t most = UINT32_MAX / elem_size;
  uint64_t room = std::min(std::max(needed, *capacity * 2), most);
  *capacity = room;
  return resize_table(block, room, elem_size);
}
