// Runs an installed program as a user would: a real process, with standard
// input from a file, and standard output and error captured in files.
#ifndef OVARN_TESTS_SUPPORT_RUN_PROGRAM_H_
#define OVARN_TESTS_SUPPORT_RUN_PROGRAM_H_

#include <string>
#include <vector>

struct run_result {
  int status = -1;       // exit status, or 128 + signal number
  bool timed_out = false;
  std::string out;       // standard output
  std::string err;       // standard error
};

struct run_request {
  std::string path;                // file to execute
  std::vector<std::string> argv;   // full argument vector, argument zero included
  std::string input;               // standard input (ignored when no_input)
  bool no_input = false;           // standard input from /dev/null
  std::string cwd;                 // working directory, empty for the current one
  std::vector<std::string> env;    // extra NAME=VALUE entries (TZ=UTC is always set)
  int timeout_seconds = 60;
};

// Runs the request. A program under test (ovarn_path(), ovarnh_path()) goes
// through the emulator when programs_emulated().
run_result run_program(const run_request& request);

// The installed programs of the stage prefix, or the programs named by
// OVARN_TEST_OVARN and OVARN_TEST_OVARNH when those are set.
std::string ovarn_path();
std::string ovarnh_path();

// Whether the programs under test are built for another machine and run
// through the emulator command in OVARN_TEST_EMULATOR (for example
// "qemu-aarch64 -L /usr/aarch64-linux-gnu"). User-mode emulation hands an
// exec to the host kernel, which without binfmt support cannot start a
// program of the other machine: tests whose program execs another one (the
// hand-off to the helper, the child runs of directory mode, pr) skip
// themselves then, with kExecUnderEmulation as the reason.
bool programs_emulated();
inline constexpr const char* kExecUnderEmulation =
    "the program would exec another program, which user-mode emulation cannot start";

// request as run_program starts it: a program under test goes through the
// emulator, with its argument zero kept.
run_request through_emulator(run_request request);

// The path of an outside program the tests drive (ed, patch, unifdef, groff,
// valgrind, ...), searched along PATH. When it is missing the calling test
// fails with a message naming the Debian package that provides it, and the
// path is empty.
std::string outside_program(const std::string& name, const std::string& package);

// Builds of ovarn in the build tree whose fixed paths name nothing: every
// program and the pager (ovarn_without_helpers), or only the pager
// (ovarn_without_pager).
std::string variant_path(const std::string& name);

// ovarn with the given arguments (argument zero "ovarn").
run_result run_ovarn(const std::vector<std::string>& args, const std::string& input = "",
                     const std::string& cwd = "");
// The helper called directly, with argument zero "varnh".
run_result run_ovarnh(const std::vector<std::string>& args, const std::string& input = "",
                      const std::string& cwd = "");

// The system's error text for errno value e, as perror prints it.
std::string error_text(int e);

#endif  // OVARN_TESTS_SUPPORT_RUN_PROGRAM_H_
