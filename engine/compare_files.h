// The file-pair comparison driver: decides how a pair is compared and runs the
// engine's steps in their fixed order.
#ifndef OVARN_ENGINE_COMPARE_FILES_H_
#define OVARN_ENGINE_COMPARE_FILES_H_

// Compares state.path1 with state.path2 (not both directories) and ends the
// run through exit_run, or becomes the helper program under -h.
[[noreturn]] void compare_regular_files();

// dir + "/" + the last path component of other, as a new text.
char* join_dir_operand(const char* dir, const char* other);

#endif  // OVARN_ENGINE_COMPARE_FILES_H_
