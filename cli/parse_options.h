// Reading the command line of the main program into run_options.
#ifndef OVARN_CLI_PARSE_OPTIONS_H_
#define OVARN_CLI_PARSE_OPTIONS_H_

// Reads the option arguments of argv (argc entries) into options, cutting the
// arguments at S and D in place, and leaves the two operands in state.path1
// and state.path2. Every error ends the run through exit_run.
void parse_options(int argc, char** argv);

#endif  // OVARN_CLI_PARSE_OPTIONS_H_
