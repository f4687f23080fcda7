// The first line of the shell here-document that -e prints for a pair of
// differing text files: it runs ed on the entry's name and feeds it the
// pair's editor script.
#ifndef OVARN_DIRCMP_ED_HEADING_H_
#define OVARN_DIRCMP_ED_HEADING_H_

#include <string>

// The entry name as one shell word that ed takes for a file: "./" in front of
// a name beginning with "-"; bare when every character is one of
// A-Za-z0-9._+,:@%/=- ; otherwise in single quotes, a quote inside written
// as '\''.
std::string ed_file_word(const char* name);

// "ed - WORD << '-*-END-*-'\n" with WORD from ed_file_word.
std::string ed_heading(const char* name);

#endif  // OVARN_DIRCMP_ED_HEADING_H_
