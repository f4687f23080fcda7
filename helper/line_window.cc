#include "helper/line_window.h"

#include <cstdio>
#include <cstring>
#include <cstdlib>

#include "helper/resync.h"

bool helper_fail(const char* text, const char* detail) {
  std::fprintf(stderr, "varnh: %s%s\n", text, detail);
  return false;
}

namespace {

// "varnh: " and the perror line for the window's file; standard input has no
// path to name.
bool read_failure(const line_window& w) {
  const char* error = std::strerror(w.source.error);
  if (std::strcmp(w.name, "-") == 0) return helper_fail("standard input: ", error);
  char detail[256];
  std::snprintf(detail, sizeof detail, ": %s", error);
  return helper_fail(w.name, detail);
}

// Reads the next line of the window's source into slot k, or gives an empty
// text at the end of the file. A read error is not taken for the end of the
// file: the listing would claim that the rest of the file had gone.
bool read_next_line(helper_state& state, line_window& w, std::string_view& text) {
  const int k = w.stored_count;
  if (w.slots[k] == nullptr) {
    w.slots[k].reset(static_cast<char*>(std::malloc(kSlotBytes)));
    // Reported as a failed resynchronisation on purpose: the listing ends as
    // at any change the window cannot hold, with the omitted-record lines.
    if (w.slots[k] == nullptr) return resync_failure(state);
  }
  const std::size_t length = read_source_line(w.source, w.slots[k].get(), kLineLimit);
  if (w.source.failed) return read_failure(w);
  text = {};
  if (length == 0) return true;
  w.lengths[k] = static_cast<std::int32_t>(length);
  ++w.stored_count;
  text = {w.slots[k].get(), length};
  return true;
}

}  // namespace

bool get_line(helper_state& state, int f, std::int64_t n, std::string_view& text) {
  line_window& w = state.windows[f];
  const std::int64_t k = n - w.first_line;
  if (k < 0) return helper_fail("program error ", "1");
  if (k < w.stored_count) {
    text = {w.slots[k].get(), static_cast<std::size_t>(w.lengths[k])};
    return true;
  }
  if (k > w.stored_count) return helper_fail("program error ", "2");
  if (w.stored_count == kWindowLines) return helper_fail("program error ", "3");
  // Once the end has been met no further read is tried, so a terminal on
  // standard input is not asked for more after its end-of-file.
  if (w.source.ended) {
    text = {};
    return true;
  }
  return read_next_line(state, w, text);
}

void drop_lines(helper_state& state, int f, std::int64_t n) {
  line_window& w = state.windows[f];
  const std::int32_t d = static_cast<std::int32_t>(n - w.first_line + 1);
  // The texts move, not the buffers: each slot keeps its own allocation.
  for (std::int32_t i = 0; i + d < w.stored_count; ++i) {
    std::memcpy(w.slots[i].get(), w.slots[i + d].get(), static_cast<std::size_t>(w.lengths[i + d]));
    w.lengths[i] = w.lengths[i + d];
  }
  w.first_line = n + 1;
  w.stored_count -= d;
}
