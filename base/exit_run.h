// The one way out of the main program, and the allocation operations that
// never hand a failure back to their caller.
#ifndef OVARN_BASE_EXIT_RUN_H_
#define OVARN_BASE_EXIT_RUN_H_

#include <cstdint>

// Flushes and closes standard output, removes the spool file if this run
// made one and ends the process with state.exit_status, or with 2 after
// "varn: standard output: ..." when some of the output could not be written.
[[noreturn]] void exit_run();

// fflush of standard output that keeps the reason of a failure for the
// report that exit_run makes: the C library may drop the bytes that could
// not be written, and with them the error.
void flush_output();

// A write to standard output has just failed (errno tells why): the rest of
// the listing would go the same way, so the run ends through exit_run,
// which reports it.
[[noreturn]] void output_failed();

// Ends the run with 2 after "varn: " and the perror line for path: a read
// (or a lookup) of a compared file failed, and what was read is not the
// whole file.
[[noreturn]] void read_failed(const char* path);

// Ends the run with "varn: files too big, try -h": memory for the tables
// cannot be had.
[[noreturn]] void files_too_big();

// malloc / realloc that end the run with "varn: files too big, try -h" on
// failure. Sizes are 32-bit byte counts.
void* checked_alloc(uint32_t size);
void* checked_realloc(void* block, uint32_t size);

// Byte size of count elements of elem_size bytes, for checked_alloc. A size
// beyond the 32-bit byte count ends the run with the same message as a failed
// allocation, before anything is allocated.
uint32_t table_size(uint64_t count, uint64_t elem_size);

// A new copy of text; ends the run with "varn: ran out of memory" on failure.
char* copy_string(const char* text);

// Writes "varn: " and the perror line for path to standard error.
void report_path_error(const char* path);

#endif  // OVARN_BASE_EXIT_RUN_H_
