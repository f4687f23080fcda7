// ovarnh: compares two files of any size in one forward pass, holding at most
// kWindowLines lines of each, and prints the plain change listing.
#include <cstring>

#include "base/standard_streams.h"
#include "helper/helper_state.h"
#include "helper/line_window.h"
#include "helper/run_comparison.h"

// The one place where the program ends: the status comes back from the
// comparison, unless the listing could not be written whole.
int main(int argc, char** argv) {
  hold_standard_descriptors();
  const int status = run_helper(argc, argv);
  if (const int error = finish_standard_output(); error != 0) {
    helper_fail("standard output: ", std::strerror(error));
    return kHelperTrouble;
  }
  return status;
}
