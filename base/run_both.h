// Two independent pieces of work done at the same time.
#ifndef OVARN_BASE_RUN_BOTH_H_
#define OVARN_BASE_RUN_BOTH_H_

#include <pthread.h>
#include <sys/resource.h>

#include <cstdint>
#include <initializer_list>

// Under a limit on the address space, what a second thread adds to the most
// the run holds depends on timing: two tables growing at once, or one after
// the other. So that a pair under a given limit always compares or always
// ends with "files too big", the work is done on one thread unless the
// limit leaves 64 bytes for each byte of both files and a gigabyte besides:
// far more than the tables made on two threads hold (eight bytes a line,
// twice that while a table grows, and every line at least one byte).
// operand_bytes is the sum of the sizes of the operands as the run looked
// them up. A 32-bit process's whole address space counts as such a limit.
inline bool address_space_fits_a_thread(uint64_t operand_bytes) {
  uint64_t least = sizeof(void*) < sizeof(uint64_t) ? uint64_t{SIZE_MAX} : UINT64_MAX;
  for (int resource : {RLIMIT_AS, RLIMIT_DATA}) {
    struct rlimit limit;
    if (getrlimit(resource, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY &&
        limit.rlim_cur < least)
      least = limit.rlim_cur;
  }
  if (least == UINT64_MAX) return true;
  return least / 64 > operand_bytes + (uint64_t{16} << 20);
}

// Runs first on a thread of its own while the calling thread runs second, and
// returns when both are done. When the work is small (worth_a_thread false),
// the address space is limited (for operands of operand_bytes), or no thread
// can be had, they run one after
// the other, first first. The two must not touch the same data; either may
// end the run through exit_run.
template <typename First, typename Second>
void run_both(bool worth_a_thread, uint64_t operand_bytes, First first, Second second) {
  if (!worth_a_thread || !address_space_fits_a_thread(operand_bytes)) {
    first();
    second();
    return;
  }
  auto start = [](void* work) -> void* {
    (*static_cast<First*>(work))();
    return nullptr;
  };
  // A small stack of a fixed size: what the thread reserves does not follow
  // the stack limit of the shell.
  constexpr size_t kStackBytes = size_t{1} << 20;
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, kStackBytes);
  pthread_t thread;
  const int failed = pthread_create(&thread, &attributes, start, &first);
  pthread_attr_destroy(&attributes);
  if (failed != 0) {
    first();
    second();
    return;
  }
  second();
  pthread_join(thread, nullptr);
}

#endif  // OVARN_BASE_RUN_BOTH_H_
