// Turns standard input into an ordinary file that every exit removes.
#ifndef OVARN_CLI_SPOOL_STDIN_H_
#define OVARN_CLI_SPOOL_STDIN_H_

// Installs the signal handlers that remove the spool file, creates it from the
// template "/tmp/dXXXXX", copies all of standard input into it and returns its
// path (run_exit.spool_path). Failures end the run through exit_run.
char* spool_stdin();

#endif  // OVARN_CLI_SPOOL_STDIN_H_
