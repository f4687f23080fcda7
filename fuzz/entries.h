// The two programs' entry points, renamed for the fuzz targets. Neither
// returns: each ends its process with exit().
#ifndef OVARN_FUZZ_ENTRIES_H_
#define OVARN_FUZZ_ENTRIES_H_

int ovarn_entry(int argc, char** argv);
int ovarnh_entry(int argc, char** argv);

#endif  // OVARN_FUZZ_ENTRIES_H_
