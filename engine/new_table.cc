#include "engine/new_table.h"

#include <sys/mman.h>

#include <cstddef>

#include "cli/exit_run.h"

namespace {

// The huge-page advice for a block of size bytes; does nothing for small
// blocks or where the system has no huge pages.
void advise_large_table([[maybe_unused]] void* block, [[maybe_unused]] uint64_t size) {
#ifdef MADV_HUGEPAGE
  constexpr uintptr_t kHugePage = uintptr_t{2} << 20;
  if (size < 2 * kHugePage) return;
  auto first = reinterpret_cast<uintptr_t>(block);
  uintptr_t start = (first + kHugePage - 1) & ~(kHugePage - 1);
  uintptr_t end = (first + size) & ~(kHugePage - 1);
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
#endif
}

}  // namespace

void* new_table(uint64_t count, uint64_t elem_size) {
  uint32_t size = table_size(count, elem_size);
  void* block = checked_alloc(size);
  advise_large_table(block, size);
  return block;
}
