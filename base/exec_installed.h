// Starting an installed program by its fixed path.
#ifndef OVARN_BASE_EXEC_INSTALLED_H_
#define OVARN_BASE_EXEC_INSTALLED_H_

// execv of path with argv, first without the leading "/usr" when path begins
// with "/usr/" (so /usr/bin/pr is looked for as /bin/pr first), then as it
// stands. Returns only when neither could be run.
void exec_installed(const char* path, char* const argv[]);

#endif  // OVARN_BASE_EXEC_INSTALLED_H_
