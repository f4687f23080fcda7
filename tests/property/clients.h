// The programs that consume the main program's output, run for real on a
// file in a fresh temporary directory: ed on an editor script, patch on a
// plain or context listing, unifdef on the merged text.
#ifndef OVARN_TESTS_PROPERTY_CLIENTS_H_
#define OVARN_TESTS_PROPERTY_CLIENTS_H_

#include <string>

struct client_result {
  int status = -1;
  std::string text;  // the file the client produced
  std::string err;   // its standard error
};

// ed -s on a file holding text, fed the script followed by "w" and "q".
client_result ed_apply(const std::string& text, const std::string& script);

// patch applying listing (plain or context) to a file holding text, exactly:
// no fuzz, no line-end conversion, no questions.
client_result patch_apply(const std::string& text, const std::string& listing);

// unifdef in plain-text mode with one symbol flag ("-DNAME" or "-UNAME").
// Its status 1 only means that it changed something.
client_result unifdef_apply(const std::string& text, const std::string& symbol_flag);

#endif  // OVARN_TESTS_PROPERTY_CLIENTS_H_
