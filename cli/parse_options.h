// Reading the command line of the main program into run_options.
#ifndef OVARN_CLI_PARSE_OPTIONS_H_
#define OVARN_CLI_PARSE_OPTIONS_H_

#include "base/run_options.h"
#include "base/run_state.h"

// What reading a command line found wrong: the message to print (a format
// of base/messages.h), and for an unknown letter the letters from it on.
// message is null for a sound command line.
struct option_fault {
  const char* message = nullptr;
  const char* letters = nullptr;
};

// Reads the option arguments of argv (argc entries) into o, cutting the
// arguments at S and D in place, and points operands at the last two
// arguments. Stops at the first fault.
option_fault read_options(int argc, char** argv, run_options& o, char* operands[2]);

// read_options into options and state.path1, state.path2; a fault is
// printed and ends the run through exit_run.
void parse_options(int argc, char** argv, run_options& options, run_state& state);

#endif  // OVARN_CLI_PARSE_OPTIONS_H_
