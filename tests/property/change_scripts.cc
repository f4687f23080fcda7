#include "tests/property/change_scripts.h"

#include <cctype>
#include <cstdlib>

#include "tests/property/line_rules.h"

namespace {

// Reads a decimal number at text[at...], moving at past it; false when there
// are no digits.
bool read_number(const std::string& text, size_t& at, long& value) {
  const size_t start = at;
  while (at < text.size() && isdigit(static_cast<unsigned char>(text[at]))) ++at;
  if (at == start) return false;
  value = strtol(text.substr(start, at - start).c_str(), nullptr, 10);
  return true;
}

// "N" or "N<sep>M" at text[at...]; a single number is a range of one line.
bool read_range(const std::string& text, size_t& at, char separator, long& first, long& last) {
  if (!read_number(text, at, first)) return false;
  last = first;
  if (at < text.size() && text[at] == separator) {
    ++at;
    if (!read_number(text, at, last) || last <= first) return false;
  }
  return true;
}

bool is_letter(char c) { return c == 'a' || c == 'c' || c == 'd'; }

// Header line of a plain listing: range, letter, range, newline.
bool read_listing_header(const std::string& line, long& a, long& b, char& letter, long& c,
                         long& d) {
  size_t at = 0;
  if (!read_range(line, at, ',', a, b) || at >= line.size() || !is_letter(line[at])) return false;
  letter = line[at++];
  return read_range(line, at, ',', c, d) && line.substr(at) == "\n";
}

bool has_prefix(const std::string& line, const std::string& prefix) {
  return line.compare(0, prefix.size(), prefix) == 0;
}

listing_counts bad_listing(const std::string& why) {
  listing_counts counts;
  counts.fault = why;
  return counts;
}

edit_script bad_script(const std::string& why) {
  edit_script script;
  script.fault = why;
  return script;
}

applied_script bad_numbered(const std::string& why) {
  applied_script result;
  result.fault = why;
  return result;
}

bool read_command_line(const std::string& line, bool reversed, edit_command& command) {
  size_t at = 0;
  if (reversed) {
    if (line.empty() || !is_letter(line[0])) return false;
    command.letter = line[at++];
    if (!read_range(line, at, ' ', command.first, command.last)) return false;
  } else {
    if (!read_range(line, at, ',', command.first, command.last) || at >= line.size() ||
        !is_letter(line[at])) {
      return false;
    }
    command.letter = line[at++];
  }
  return line.substr(at) == "\n";
}

}  // namespace

listing_counts count_plain_listing(const std::string& listing) {
  const std::vector<std::string> lines = complete_lines(listing);
  if (!listing.empty() && listing.back() != '\n') {
    return bad_listing("listing does not end with a newline");
  }
  listing_counts counts;
  size_t at = 0;
  while (at < lines.size()) {
    long a, b, c, d;
    char letter;
    if (!read_listing_header(lines[at], a, b, letter, c, d)) {
      return bad_listing("bad header line " + std::to_string(at + 1));
    }
    ++at;
    const long old_count = letter == 'a' ? 0 : b - a + 1;
    const long new_count = letter == 'd' ? 0 : d - c + 1;
    for (long k = 0; k < old_count; ++k, ++at) {
      if (at >= lines.size() || !has_prefix(lines[at], "< ")) return bad_listing("missing old line");
    }
    if (letter == 'c') {
      if (at >= lines.size() || lines[at] != "---\n") return bad_listing("missing ---");
      ++at;
    }
    for (long k = 0; k < new_count; ++k, ++at) {
      if (at >= lines.size() || !has_prefix(lines[at], "> ")) return bad_listing("missing new line");
    }
    counts.removed += old_count;
    counts.added += new_count;
  }
  counts.well_formed = true;
  return counts;
}

edit_script read_edit_script(const std::string& text, bool reversed) {
  const std::vector<std::string> lines = complete_lines(text);
  if (!lines.empty() && text.back() != '\n') return bad_script("script does not end with a newline");
  edit_script script;
  size_t at = 0;
  while (at < lines.size()) {
    edit_command command;
    if (!read_command_line(lines[at], reversed, command)) {
      return bad_script("bad command line " + std::to_string(at + 1));
    }
    ++at;
    if (command.letter != 'd') {
      while (at < lines.size() && lines[at] != ".\n") command.text.push_back(lines[at++]);
      if (at >= lines.size()) return bad_script("text without its closing .");
      ++at;
    }
    script.commands.push_back(command);
  }
  script.well_formed = true;
  return script;
}

applied_script apply_numbered_script(const std::vector<std::string>& old_lines,
                                     const std::string& script) {
  const std::vector<std::string> lines = complete_lines(script);
  if (!lines.empty() && script.back() != '\n') return bad_numbered("script does not end with a newline");
  applied_script result;
  size_t next_old = 1;  // the first old line not yet copied or deleted
  size_t at = 0;
  auto copy_through = [&](size_t last) {
    while (next_old <= last) result.lines.push_back(old_lines[next_old++ - 1]);
  };
  while (at < lines.size()) {
    const std::string& line = lines[at++];
    size_t pos = 1;
    long where, count;
    if (line.empty() || (line[0] != 'a' && line[0] != 'd') || !read_number(line, pos, where) ||
        pos >= line.size() || line[pos++] != ' ' || !read_number(line, pos, count) ||
        line.substr(pos) != "\n" || count < 1) {
      return bad_numbered("bad command line " + std::to_string(at));
    }
    if (line[0] == 'd') {
      if (where < static_cast<long>(next_old) || where + count - 1 > static_cast<long>(old_lines.size())) {
        return bad_numbered("deletion out of order or range: " + line);
      }
      copy_through(where - 1);
      next_old = where + count;
    } else {
      if (where + 1 < static_cast<long>(next_old) || where > static_cast<long>(old_lines.size())) {
        return bad_numbered("addition out of order or range: " + line);
      }
      copy_through(where);
      for (long k = 0; k < count; ++k) {
        if (at >= lines.size()) return bad_numbered("added text cut short");
        result.lines.push_back(lines[at++]);
      }
    }
  }
  copy_through(old_lines.size());
  result.well_formed = true;
  return result;
}
