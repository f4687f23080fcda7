#include "base/exec_installed.h"

#include <unistd.h>

#include <cstring>

void exec_installed(const char* path, char* const argv[]) {
  // Only a path under /usr/ has a shorter twin worth trying; any other
  // prefix is used exactly as configured.
  if (strncmp(path, "/usr/", 5) == 0) execv(path + 4, argv);
  execv(path, argv);
}
