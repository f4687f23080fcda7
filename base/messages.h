// The main program's messages on standard error, side by side.
//
// They begin with "varn: ", the name of the tool these programs descend
// from, so that scripts that match its messages keep working. The
// deliberate differences:
// - the perror lines for entries, install paths and files opened again
//   carry no prefix (they are printed by perror alone), and neither does the
//   pager's "No more processes", which also has no newline;
// - memory: tables that cannot be had say "files too big, try -h" (the
//   helper program compares files of any size), a directory listing or a
//   path says "ran out of memory", and the copy of one entry name says
//   "out of memory".
#ifndef OVARN_BASE_MESSAGES_H_
#define OVARN_BASE_MESSAGES_H_

inline constexpr char kMsgPrefix[] = "varn: ";  // before a perror line

// Standard input and output, which have no path for perror to name. A
// failed write to standard output ends the run with 2 whatever was found,
// and so does a failed read of standard input.
inline constexpr char kMsgOutputError[] = "varn: standard output: %s\n";  // error text
inline constexpr char kMsgInputError[] = "varn: standard input: %s\n";    // error text

inline constexpr char kMsgFilesTooBig[] = "varn: files too big, try -h\n";
inline constexpr char kMsgRanOutOfMemory[] = "varn: ran out of memory\n";
inline constexpr char kMsgOutOfMemory[] = "varn: out of memory\n";

// Command line.
inline constexpr char kMsgTwoFilenames[] = "varn: two filename arguments required\n";
inline constexpr char kMsgBadCount[] = "varn: -c: bad count\n";
inline constexpr char kMsgUseStart[] = "varn: use -Sstart\n";
inline constexpr char kMsgUnknownOption[] = "varn: -%s: unknown option\n";  // the letters
inline constexpr char kMsgHandOffFormats[] = "varn: -h doesn't support -e, -f, -n, -c, or -I\n";

// File pairs.
inline constexpr char kMsgDashWithDirectory[] = "varn: can't specify - with other arg directory\n";
inline constexpr char kMsgDashDash[] = "varn: can't specify - -\n";
inline constexpr char kMsgJoinedTooLong[] = "varn: %s/%s: %s\n";  // directory, name, error

// Directories.
inline constexpr char kMsgIfdefWithDirectories[] = "varn: can't specify -I with directories\n";
inline constexpr char kMsgWarnSLWithE[] = "varn: warning: shouldn't give -s or -l with -e\n";
inline constexpr char kMsgPathTooLong[] = "varn: %s: %s\n";     // path, error
inline constexpr char kMsgEntryTooLong[] = "%.*s%s: %s\n";      // perror form: no prefix
inline constexpr char kMsgSystemError[] = "varn: %s\n";          // error text
inline constexpr char kMsgNoMoreProcesses[] = "varn: No more processes\n";
inline constexpr char kMsgNoMoreProcessesPager[] = "No more processes";

#endif  // OVARN_BASE_MESSAGES_H_
