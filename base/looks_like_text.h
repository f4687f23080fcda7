// The binary-content test on the first 1024 bytes of a file.
#ifndef OVARN_BASE_LOOKS_LIKE_TEXT_H_
#define OVARN_BASE_LOOKS_LIKE_TEXT_H_

#include <cstdio>

// True when the start of the file looks like text: no a.out magic number in
// the first four bytes of a file of 32 bytes or more, and no byte from 0x80
// up among the first 1024. Both forms read from the start of the file and
// leave it positioned after the bytes they read. When the read fails,
// *failed (if given) is set, errno tells why, and the answer means nothing.
bool looks_like_text(FILE* stream, bool* failed = nullptr);
bool looks_like_text(int fd, bool* failed = nullptr);

#endif  // OVARN_BASE_LOOKS_LIKE_TEXT_H_
