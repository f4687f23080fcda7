#include "output/print_range.h"

#include <cstdio>

void print_range(int32_t first, int32_t last, const char* separator) {
  printf("%d", first < last ? first : last);
  if (first < last) printf("%s%d", separator, last);
}
