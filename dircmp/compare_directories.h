// Directory mode of the main program.
#ifndef OVARN_DIRCMP_COMPARE_DIRECTORIES_H_
#define OVARN_DIRCMP_COMPARE_DIRECTORIES_H_

// Compares the directories state.path1 and state.path2 entry by entry; the
// caller ends the run through exit_run afterwards.
void compare_directories();

#endif  // OVARN_DIRCMP_COMPARE_DIRECTORIES_H_
