// A point between two steps of a file-pair comparison at which a test build
// can change the files under the run. The programs that are installed carry
// nothing of it: only a build with OVARN_STAGE_HOOK defined runs anything.
#ifndef OVARN_BASE_STAGE_HOOK_H_
#define OVARN_BASE_STAGE_HOOK_H_

#ifdef OVARN_STAGE_HOOK
// Runs the shell command in the environment variable OVARN_STAGE_COMMAND,
// if set, with the stage's name as its first argument ($1), and waits for it.
void stage_hook(const char* stage);
#else
inline void stage_hook(const char*) {}
#endif

#endif  // OVARN_BASE_STAGE_HOOK_H_
