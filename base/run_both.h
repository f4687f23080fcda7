// Two independent pieces of work done at the same time.
#ifndef OVARN_BASE_RUN_BOTH_H_
#define OVARN_BASE_RUN_BOTH_H_

#include <pthread.h>

// Runs first on a thread of its own while the calling thread runs second, and
// returns when both are done. When the work is small (worth_a_thread false),
// or no thread can be had, they run one after the other, first first. The
// two must not touch the same data; either may end the run through exit_run.
template <typename First, typename Second>
void run_both(bool worth_a_thread, First first, Second second) {
  if (!worth_a_thread) {
    first();
    second();
    return;
  }
  auto start = [](void* work) -> void* {
    (*static_cast<First*>(work))();
    return nullptr;
  };
  pthread_t thread;
  if (pthread_create(&thread, nullptr, start, &first) != 0) {
    first();
    second();
    return;
  }
  second();
  pthread_join(thread, nullptr);
}

#endif  // OVARN_BASE_RUN_BOTH_H_
