// The identity test of two files: whether they hold the same bytes.
#ifndef OVARN_BASE_SAME_CONTENTS_H_
#define OVARN_BASE_SAME_CONTENTS_H_

#include <sys/stat.h>

// True when fd1 and fd2, read from their current positions to their ends,
// hold the same bytes; stat1 and stat2 are their lookups, and files of
// different sizes differ without a byte being read. Stops at the first block
// that differs. A read that fails stops it too: *failed_file is then the file
// whose read failed (0 or 1, the first file's checked first), errno tells why
// and the answer means nothing; otherwise *failed_file is -1.
bool same_contents(int fd1, int fd2, const struct stat& stat1, const struct stat& stat2,
                   int* failed_file);

#endif  // OVARN_BASE_SAME_CONTENTS_H_
