// The main program's entry point, renamed for the fuzz targets that run it
// in a forked child. It does not return: it ends its process with exit().
#ifndef OVARN_FUZZ_ENTRIES_H_
#define OVARN_FUZZ_ENTRIES_H_

int ovarn_entry(int argc, char** argv);

#endif  // OVARN_FUZZ_ENTRIES_H_
