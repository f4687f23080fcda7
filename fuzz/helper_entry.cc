// The helper program's entry point under the name the fuzz target calls.
#define main ovarnh_entry
#include "helper/helper_main.cc"
