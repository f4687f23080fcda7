// Runs the installed ovarn or ovarnh for the property and fault suites. With
// OVARN_VALGRIND=1 in the environment every run goes through
// valgrind --error-exitcode=99 (a status the programs never give, so that a
// memory error cannot pass for the status 1 of "differences found"), and the
// children the program starts are traced too.
#ifndef OVARN_TESTS_PROPERTY_CHECKED_RUN_H_
#define OVARN_TESTS_PROPERTY_CHECKED_RUN_H_

#include <string>
#include <vector>

#include "tests/support/run_program.h"

// Status valgrind gives when it found a memory error.
constexpr int kValgrindErrorStatus = 99;

bool under_valgrind();

// The request that runs program (a path) with argument zero arg0 and args,
// wrapped in valgrind when asked for.
run_request checked_request(const std::string& program, const std::string& arg0,
                            const std::vector<std::string>& args);

run_result checked_ovarn(const std::vector<std::string>& args, const std::string& input = "");
run_result checked_ovarnh(const std::vector<std::string>& args, const std::string& input = "");

#endif  // OVARN_TESTS_PROPERTY_CHECKED_RUN_H_
