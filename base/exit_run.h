// The one way out of the main program, and the allocation operations that
// never hand a failure back to their caller.
#ifndef OVARN_BASE_EXIT_RUN_H_
#define OVARN_BASE_EXIT_RUN_H_

#include <atomic>
#include <cstdint>

#include "base/messages.h"

// The main program's one process-wide record: what the way out must reach
// wherever the run stops, on either thread of a two-part step, and what the
// signal handlers that remove the spool file read. Everything else of a run
// lives in records that main hands on by reference.
struct exit_record {
  // The status the process ends with: 0 no differences, 1 differences,
  // 2 trouble. Read by the signal handler, hence volatile.
  volatile int32_t status = 2;
  // The spool file's path while one exists; empty otherwise. Read by the
  // signal handler.
  char spool_path[1024] = {};
  // The errno of the first failed write to standard output, for the report
  // that exit_run makes: the C library may drop the bytes that could not be
  // written, and with them the error.
  int first_output_error = 0;
  // Set by the first thread that ends the run. Both threads of a two-part
  // step may fail at once; the second waits for the first's exit rather than
  // check a standard output that the first has already closed. A word, not a
  // bool: riscv64 exchanges a byte only through libatomic.
  std::atomic<int> ending{0};
};
extern exit_record run_exit;

// Flushes and closes standard output, removes the spool file if this run
// made one and ends the process with run_exit.status, or with 2 after
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

// malloc that ends the run with "varn: files too big, try -h" on failure.
// Sizes are 32-bit byte counts.
void* checked_alloc(uint32_t size);

// Byte size of count elements of elem_size bytes, for checked_alloc. A size
// beyond the 32-bit byte count ends the run with the same message as a failed
// allocation, before anything is allocated.
uint32_t table_size(uint64_t count, uint64_t elem_size);

// A new copy of text; ends the run with the message failure (a text of
// base/messages.h) when the memory cannot be had.
char* copy_string(const char* text, const char* failure = kMsgRanOutOfMemory);

// Writes "varn: " and the perror line for path to standard error.
void report_path_error(const char* path);

#endif  // OVARN_BASE_EXIT_RUN_H_
