#include "dircmp/read_directory.h"

#include <dirent.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/exit_run.h"
#include "base/messages.h"

namespace {

[[noreturn]] void ran_out_of_memory() {
  fputs(kMsgRanOutOfMemory, stderr);
  exit_run();
}

}  // namespace

void listing_freer::operator()(dir_entry* listing) const {
  for (dir_entry* entry = listing; entry->name != nullptr; ++entry) free(entry->name);
  free(listing);
}

dir_listing read_directory(const char* path) {
  DIR* dir = opendir(path);
  if (dir == nullptr) {
    report_path_error(path);
    exit_run();
  }
  dir_entry* listing = static_cast<dir_entry*>(malloc(sizeof(dir_entry)));
  if (listing == nullptr) ran_out_of_memory();
  size_t count = 0;
  // A read error is not the end of the directory: a listing without some
  // of its entries would report files as present on one side only.
  for (;;) {
    errno = 0;
    dirent* found = readdir(dir);
    if (found == nullptr) break;
    listing[count].flags = 0;
    listing[count].name = copy_string(found->d_name, kMsgOutOfMemory);
    // Always room for one entry more than the listing holds: the terminator.
    void* grown = realloc(listing, (count + 2) * sizeof(dir_entry));
    if (grown == nullptr) ran_out_of_memory();
    listing = static_cast<dir_entry*>(grown);
    ++count;
  }
  if (errno != 0) {
    report_path_error(path);
    exit_run();
  }
  listing[count].flags = 0;
  listing[count].name = nullptr;
  closedir(dir);
  qsort(listing, count, sizeof(dir_entry), compare_entry_names);
  return dir_listing(listing);
}

int compare_entry_names(const void* a, const void* b) {
  return strcmp(static_cast<const dir_entry*>(a)->name, static_cast<const dir_entry*>(b)->name);
}

bool skip_entry_name(const char* name, const char* start_name) {
  if (strcmp(name, ".") == 0 || strcmp(name, "..") == 0) return true;
  return start_name != nullptr && strcmp(start_name, name) > 0;
}

dir_path side_dir_path(const run_state& state, int side) {
  return side == 0 ? dir_path{state.path1, state.path1_end} : dir_path{state.path2, state.path2_end};
}

dir_path make_dir_path(const char* path) {
  const size_t length = strlen(path);
  // The path, the "/" and the terminator must fit.
  if (length + 2 > kDirPathSize) {
    fprintf(stderr, kMsgPathTooLong, path, strerror(ENAMETOOLONG));
    exit_run();
  }
  char* buffer = static_cast<char*>(malloc(kDirPathSize));
  if (buffer == nullptr) {
    // The one stop of directory mode with status 1.
    fputs(kMsgRanOutOfMemory, stderr);
    run_exit.status = 1;
    exit_run();
  }
  memcpy(buffer, path, length);
  buffer[length] = '/';
  buffer[length + 1] = '\0';
  return dir_path{buffer, buffer + length + 1};
}

bool entry_path_fits(dir_path dir, const char* name) {
  const size_t room = static_cast<size_t>(dir.buffer + kDirPathSize - dir.end);
  return strlen(name) < room;
}

void report_long_entry_path(dir_path dir, const char* name) {
  // The buffer may still hold an earlier name behind the insertion point.
  fprintf(stderr, kMsgEntryTooLong, static_cast<int>(dir.end - dir.buffer), dir.buffer, name,
          strerror(ENAMETOOLONG));
}
