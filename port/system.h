// System calls that not every POSIX system has, each with its fallback.
#ifndef OVARN_PORT_SYSTEM_H_
#define OVARN_PORT_SYSTEM_H_

#include <cstddef>
#include <cstdio>

// Fills bytes with count bytes of noise from the system (getrandom,
// getentropy or /dev/urandom); false when none of them answered.
bool fill_random(unsigned char* bytes, size_t count);

// fwrite to a stream that only this thread writes, without its lock where
// the C library offers that.
size_t write_block(const void* bytes, size_t count, FILE* stream);

#endif  // OVARN_PORT_SYSTEM_H_
