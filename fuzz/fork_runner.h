// Runs a program's entry point on one fuzz input in a forked child, because
// the programs keep process-wide state and end with exit(). The child's
// coverage counters are copied back, so that the fuzzer is guided by what
// the child ran. A child that dies by a signal, reports a sanitizer error,
// ends with a status its program never gives, or runs too long, aborts the
// fuzzer process, which then saves the input as a crash. Only targets whose
// entry point ends the process use it; the others run in process.
#ifndef OVARN_FUZZ_FORK_RUNNER_H_
#define OVARN_FUZZ_FORK_RUNNER_H_

#include <string>
#include <vector>

using entry_point = int (*)(int, char**);

// Runs entry with args (argument zero included) and standard input from
// stdin_path; standard output is thrown away.
void run_in_child(entry_point entry, const std::vector<std::string>& args,
                  const std::string& stdin_path);

#endif  // OVARN_FUZZ_FORK_RUNNER_H_
