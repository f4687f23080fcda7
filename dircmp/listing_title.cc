#include "dircmp/listing_title.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

char listing_title[LISTING_TITLE_SIZE];
char* title_end = listing_title;

namespace {

// Appends as much of text as fits before the last byte of the buffer.
void append_to_title(const char* text) {
  const size_t room = static_cast<size_t>(listing_title + LISTING_TITLE_SIZE - 1 - title_end);
  const size_t length = std::min(strlen(text), room);
  memcpy(title_end, text, length);
  title_end += length;
  *title_end = '\0';
}

}  // namespace

void build_listing_title(char* const* arg_vector) {
  int count = 0;
  while (arg_vector[count] != nullptr) ++count;
  title_end = listing_title;
  *title_end = '\0';
  append_to_title("varn ");
  // Option arguments lie between argument zero and the two operands.
  for (int i = 1; i < count - 2; ++i) {
    if (strcmp(arg_vector[i], "-") == 0) continue;
    append_to_title(arg_vector[i]);
    append_to_title(" ");
  }
}

void complete_listing_title(const char* path1, const char* path2) {
  const size_t room = static_cast<size_t>(listing_title + LISTING_TITLE_SIZE - title_end);
  snprintf(title_end, room, "%s %s", path1, path2);
}
