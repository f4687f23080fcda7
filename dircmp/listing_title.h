// The command title of directory mode: "varn " and the option words, which
// announces each pair of differing text files and, completed with the pair's
// two paths, heads its pages under -l.
#ifndef OVARN_DIRCMP_LISTING_TITLE_H_
#define OVARN_DIRCMP_LISTING_TITLE_H_

#include <cstddef>

constexpr int kListingTitleSize = 2048;

struct command_title {
  char listing_title[kListingTitleSize] = {};
  // The index of the terminator after the last option word; the pair's
  // paths go here.
  size_t title_end = 0;
};

// Sets title.listing_title to "varn " followed by every option argument of
// arg_vector (the entries after argument zero and before the two operands),
// each followed by a blank; an argument that is exactly "-" is left out.
// A title that would not fit is cut to fit.
void build_listing_title(command_title& title, char* const* arg_vector);

// Writes "path1 path2" at title_end, over whatever pair stood there, cut to
// fit the buffer.
void complete_listing_title(command_title& title, const char* path1, const char* path2);

#endif  // OVARN_DIRCMP_LISTING_TITLE_H_
