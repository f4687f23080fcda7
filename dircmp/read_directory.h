// Directory listings and directory path buffers of directory mode.
//
// A listing is one array of dir_entry sorted by name in strcmp order and
// closed by an entry whose name is null; it holds every name the directory
// yields, "." and ".." included.
#ifndef OVARN_DIRCMP_READ_DIRECTORY_H_
#define OVARN_DIRCMP_READ_DIRECTORY_H_

#include <cstdint>
#include <memory>

#include "base/run_state.h"

// Outcome marks of an entry; an entry carries at most one of them.
enum : uint64_t {
  ENTRY_ONLY = 1,       // the name exists in this directory only (-l)
  ENTRY_SAME = 2,       // the two entries are identical (-l with -s)
  ENTRY_BINARY = 4,     // the entries differ and one is binary (-l)
  ENTRY_DIRECTORY = 8,  // both entries are directories
};

struct dir_entry {
  uint64_t flags;
  char* name;  // null in the terminating entry
};

// Frees a listing's names and the listing itself.
struct listing_freer {
  void operator()(dir_entry* listing) const;
};
// A listing owned by its scope.
using dir_listing = std::unique_ptr<dir_entry[], listing_freer>;

// Size of a directory path buffer, terminator included.
constexpr int kDirPathSize = 1024;

// A directory path buffer: the directory path followed by "/", and its
// insertion point just after that "/". The text in front of the insertion
// point never changes, so the directory prints as its first
// (end - buffer - 1) characters.
struct dir_path {
  char* buffer;
  char* end;
};

// The sorted listing of the directory at path. A directory that cannot be
// opened ends the run with "varn: " and the perror line for path; memory that
// cannot be had ends it with "varn: ran out of memory" or, for a name,
// "varn: out of memory".
dir_listing read_directory(const char* path);

// strcmp of the names of two dir_entry records; the comparator for qsort.
int compare_entry_names(const void* a, const void* b);

// True for "." and "..", and for a name that sorts before start_name (the
// -S name; null without one).
bool skip_entry_name(const char* name, const char* start_name);

// The directory path buffer of side 0 (path1) or 1 (path2) of a directory
// comparison's state.
dir_path side_dir_path(const run_state& state, int side);

// A new directory path buffer holding path and "/". A path that does not fit
// ends the run with "varn: " and the perror-form line for path with the
// system's "File name too long" text; a buffer that cannot be allocated ends
// the run with "varn: ran out of memory" and status 1.
dir_path make_dir_path(const char* path);

// True when name fits at the insertion point of the buffer, terminator
// included.
bool entry_path_fits(dir_path dir, const char* name);

// The perror-form line (no "varn: ") for the entry path dir + name that does
// not fit its buffer.
void report_long_entry_path(dir_path dir, const char* name);

#endif  // OVARN_DIRCMP_READ_DIRECTORY_H_
