// The main program's entry point under the name the fuzz targets call.
#define main ovarn_entry
#include "cli/main.cc"
