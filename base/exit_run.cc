#include "base/exit_run.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/messages.h"
#include "base/standard_streams.h"

exit_record run_exit;

void flush_output() {
  if (fflush(stdout) != 0 && run_exit.first_output_error == 0) run_exit.first_output_error = errno;
}

void output_failed() {
  if (run_exit.first_output_error == 0) run_exit.first_output_error = errno;
  exit_run();
}

void exit_run() {
  if (run_exit.ending.exchange(1) != 0) {
    for (;;) pause();
  }
  // A listing that did not reach its reader is no answer, whatever the
  // comparison found.
  if (const int error = finish_standard_output(run_exit.first_output_error); error != 0) {
    fprintf(stderr, kMsgOutputError, strerror(error));
    run_exit.status = 2;
  }
  if (run_exit.spool_path[0] != '\0') unlink(run_exit.spool_path);
  exit(run_exit.status);
}

void read_failed(const char* path) {
  report_path_error(path);
  run_exit.status = 2;
  exit_run();
}

void files_too_big() {
  fputs(kMsgFilesTooBig, stderr);
  exit_run();
}

void* checked_alloc(uint32_t size) {
  // malloc(0) may legitimately give null; a table of no bytes still needs a
  // block the caller can resize.
  void* block = malloc(size == 0 ? 1 : size);
  if (block == nullptr) files_too_big();
  return block;
}

uint32_t table_size(uint64_t count, uint64_t elem_size) {
  if (elem_size != 0 && count > UINT32_MAX / elem_size) files_too_big();
  return static_cast<uint32_t>(count * elem_size);
}

char* copy_string(const char* text, const char* failure) {
  size_t length = strlen(text);
  char* copy = static_cast<char*>(malloc(length + 1));
  if (copy == nullptr) {
    fputs(failure, stderr);
    exit_run();
  }
  memcpy(copy, text, length + 1);
  return copy;
}

void report_path_error(const char* path) {
  int saved = errno;
  fputs(kMsgPrefix, stderr);
  errno = saved;
  perror(path);
}
