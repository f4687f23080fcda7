// ovarnh: compares two files of any size in one forward pass, holding at most
// WINDOW_LINES lines of each, and prints the plain change listing.
#include "helper/run_comparison.h"

// The one place where the program ends: the status comes back from the
// comparison, and returning flushes standard output.
int main(int argc, char** argv) { return run_helper(argc, argv); }
