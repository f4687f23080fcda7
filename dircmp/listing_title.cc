#include "dircmp/listing_title.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

// Appends as much of text as fits before the last byte of the buffer.
void append_to_title(command_title& title, const char* text) {
  const size_t room = kListingTitleSize - 1 - title.title_end;
  const size_t length = std::min(strlen(text), room);
  memcpy(title.listing_title + title.title_end, text, length);
  title.title_end += length;
  title.listing_title[title.title_end] = '\0';
}

}  // namespace

void build_listing_title(command_title& title, char* const* arg_vector) {
  int count = 0;
  while (arg_vector[count] != nullptr) ++count;
  title.title_end = 0;
  title.listing_title[0] = '\0';
  append_to_title(title, "varn ");
  // Option arguments lie between argument zero and the two operands.
  for (int i = 1; i < count - 2; ++i) {
    if (strcmp(arg_vector[i], "-") == 0) continue;
    append_to_title(title, arg_vector[i]);
    append_to_title(title, " ");
  }
}

void complete_listing_title(command_title& title, const char* path1, const char* path2) {
  const size_t room = kListingTitleSize - title.title_end;
  snprintf(title.listing_title + title.title_end, room, "%s %s", path1, path2);
}
