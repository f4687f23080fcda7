#include "port/memory.h"

#include <sys/mman.h>

#include <cstdint>

#include "port/port_config.h"

#if OVARN_HAVE_MALLOPT
#include <malloc.h>
#endif

void* map_huge_aligned(uint64_t length, uint64_t align) {
  // On a 32-bit system a table may need more than the address space holds;
  // its length would wrap in mmap's size_t.
  if (length > SIZE_MAX - align) return nullptr;
  void* wide = mmap(nullptr, length + align, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS,
                    -1, 0);
  if (wide == MAP_FAILED) return nullptr;
  auto first = reinterpret_cast<uintptr_t>(wide);
  uintptr_t start = (first + align - 1) & ~(align - 1);
  if (start > first) munmap(wide, start - first);
  uintptr_t end = first + length + align;
  uintptr_t kept_end = start + length;
  if (end > kept_end) munmap(reinterpret_cast<void*>(kept_end), end - kept_end);
#if OVARN_HAVE_MADV_HUGEPAGE
  madvise(reinterpret_cast<void*>(start), kept_end - start, MADV_HUGEPAGE);
#endif
  return reinterpret_cast<void*>(start);
}

void unmap_pages(void* start, uint64_t length) { munmap(start, length); }

bool move_pages(void* from, uint64_t length, void* to) {
#if OVARN_HAVE_MREMAP
  return mremap(from, length, length, MREMAP_MAYMOVE | MREMAP_FIXED, to) != MAP_FAILED;
#else
  (void)from;
  (void)length;
  (void)to;
  return false;
#endif
}

void tune_allocator() {
#if OVARN_HAVE_MALLOPT
  // Large tables get mappings of their own (base/table.cc), which they can
  // grow in place and give back whole. Left to itself glibc raises this
  // threshold to the size of each large block freed, and the next blocks
  // then land in the heap, where they leave holes that growing blocks
  // cannot use.
  mallopt(M_MMAP_THRESHOLD, 64 << 10);
  mallopt(M_TRIM_THRESHOLD, 1 << 20);
#ifdef M_ARENA_MAX
  // One arena for every thread: an arena of a thread's own reserves 64 MiB
  // of address space, or not, as the engine's threads happen to run, which
  // under a limit on the address space made the answer vary.
  mallopt(M_ARENA_MAX, 1);
#endif
#endif
}
