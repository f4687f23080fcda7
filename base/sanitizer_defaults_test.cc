// The address sanitizer's defaults for the unit tests, which run every test
// in one process. By default it keeps 256 MiB of freed memory unused, to
// catch a late use of it; with the heap the tests use at their largest, and
// the memory that other tests left in the allocator's lists, one process
// then held 470 to 610 MiB depending on the order the tests ran in. A late
// use is mostly one soon after the free: 64 MiB keeps the run near 300 MiB.
// ASAN_OPTIONS set in the environment still override this.
#if defined(__SANITIZE_ADDRESS__)
#define OVARN_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define OVARN_ADDRESS_SANITIZER 1
#endif
#endif

#ifdef OVARN_ADDRESS_SANITIZER
extern "C" const char* __asan_default_options() { return "quarantine_size_mb=64"; }
#endif
