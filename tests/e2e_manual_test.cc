// The installed manual pages against the programs: every option letter and
// every message is documented, the built-in paths are the configured ones,
// and the examples show what the installed programs really print.
#include <gtest/gtest.h>
#include <time.h>
#include <unistd.h>

#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace {

std::string installed_page(const std::string& name) {
  return read_file(std::string(OVARN_STAGE_PREFIX) + "/share/man/man1/" + name);
}

// The characters that the pages write as named glyphs.
const std::map<std::string, std::string> glyphs = {
    {"em", "\u2014"}, {"bu", "\u2022"}, {"ga", "`"}, {"ti", "~"}, {"aq", "'"}, {"dq", "\""}};

// Text with the escapes of roff resolved: \- \e \& \c \fX \(xx.
std::string resolve_escapes(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char e = text[++i];
    if (e == '-') {
      out += '-';
    } else if (e == 'e') {
      out += '\\';
    } else if (e == ' ') {
      out += ' ';
    } else if (e == 'f') {
      i += (i + 1 < text.size() && text[i + 1] == '(') ? 3 : 1;  // \fB or \f(CW
    } else if (e == '(' && i + 2 < text.size()) {
      const auto glyph = glyphs.find(text.substr(i + 1, 2));
      out += glyph != glyphs.end() ? glyph->second : "?";
      i += 2;
    }
    // \& and \c print nothing.
  }
  return out;
}

// The arguments of a macro line, with their quotes taken off.
std::vector<std::string> macro_arguments(const std::string& rest) {
  std::vector<std::string> args;
  size_t i = 0;
  while (i < rest.size()) {
    while (i < rest.size() && rest[i] == ' ') ++i;
    if (i == rest.size()) break;
    std::string arg;
    if (rest[i] == '"') {
      for (++i; i < rest.size() && rest[i] != '"'; ++i) arg += rest[i];
      ++i;
    } else {
      for (; i < rest.size() && rest[i] != ' '; ++i) arg += rest[i];
    }
    args.push_back(arg);
  }
  return args;
}

// One source line as the reader sees its words. The font-alternating macros
// (.BR, .IB, ...) join their arguments without blanks; the others with one.
std::string plain_line(const std::string& line) {
  if (line.rfind(".\\\"", 0) == 0) return "";
  if (line.empty() || line[0] != '.') return resolve_escapes(line);
  const size_t name_end = line.find(' ');
  const std::string macro = line.substr(1, name_end == std::string::npos ? std::string::npos
                                                                            : name_end - 1);
  if (name_end == std::string::npos) return "";
  const std::vector<std::string> args = macro_arguments(line.substr(name_end + 1));
  const bool alternating = macro.size() == 2 && macro != "TH" && macro != "SH" &&
                           macro != "SS" && macro != "TP" && macro != "IP" && macro != "PD";
  std::string joined;
  for (const std::string& arg : args) {
    if (!joined.empty() && !alternating) joined += ' ';
    joined += arg;
  }
  return resolve_escapes(joined);
}

std::string plain_text(const std::string& roff) {
  std::istringstream lines(roff);
  std::string line, out;
  while (std::getline(lines, line)) out += plain_line(line) + "\n";
  return out;
}

// The part of the page under the heading .SH name, up to the next heading.
std::string section(const std::string& roff, const std::string& name) {
  const std::string heading = "\n.SH " + name + "\n";
  const size_t start = roff.find(heading);
  if (start == std::string::npos) return "";
  const size_t end = roff.find("\n.SH ", start + heading.size());
  return roff.substr(start + heading.size(), end == std::string::npos ? std::string::npos
                                                                       : end - start - heading.size());
}

// A message as the programs format it, turned into a pattern: a text
// conversion stands for any text on the same line, a number conversion for
// digits.
std::regex message_pattern(std::string message) {
  if (!message.empty() && message.back() == '\n') message.pop_back();
  static const std::regex conversion(R"(%(\.\*)?l?[sd])");
  static const std::regex special(R"([.^$|()\[\]{}*+?\\])");
  std::string pattern;
  std::sregex_token_iterator part(message.begin(), message.end(), conversion, {-1, 0});
  for (; part != std::sregex_token_iterator(); ++part) {
    const std::string piece = *part;
    if (!std::regex_match(piece, conversion)) {
      pattern += std::regex_replace(piece, special, R"(\$&)");
    } else {
      pattern += piece.back() == 'd' ? "[0-9]+" : ".*";
    }
  }
  return std::regex(pattern);
}

// The message stands somewhere in the text, within one line.
bool mentions(const std::string& text, const std::string& message) {
  return std::regex_search(text, message_pattern(message));
}

// Some line of the text is exactly such an output line, as in an example.
bool shows_line(const std::string& text, const std::string& output_line) {
  const std::regex pattern = message_pattern(output_line);
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    if (std::regex_match(line, pattern)) return true;
  }
  return false;
}

TEST(ManualPages, EveryOptionLetterHasItsOwnEntry) {
  const std::pair<const char*, const char*> pages[] = {{"ovarn.1", "bcDefhilnrsStw"},
                                                       {"ovarnh.1", "b"}};
  for (const auto& [page, letters] : pages) {
    const std::string options = plain_text(section(installed_page(page), "OPTIONS"));
    ASSERT_FALSE(options.empty()) << page;
    for (const char* letter = letters; *letter != '\0'; ++letter) {
      // An entry's tag line begins with the option: "-c, -cN", "-Sname".
      const std::regex entry(std::string("(^|\n)-") + *letter);
      EXPECT_TRUE(std::regex_search(options, entry)) << page << " lacks -" << *letter;
    }
  }
}

TEST(ManualPages, EveryMessageAndReportOfTheMainProgramIsShown) {
  const std::string text = plain_text(installed_page("ovarn.1"));
  const char* const messages[] = {
      // Refusals and failures, on standard error.
      "varn: two filename arguments required\n",
      "varn: -%s: unknown option\n",
      "varn: -c: bad count\n",
      "varn: use -Sstart\n",
      "varn: -h doesn't support -e, -f, -n, -c, or -I\n",
      "varn: %s: %s",  // "varn: " and the perror line of a path
      "varn: files too big, try -h\n",
      "varn: ran out of memory\n",
      "varn: out of memory\n",
      "varn: can't specify - with other arg directory\n",
      "varn: can't specify - -\n",
      "varn: can't specify -I with directories\n",
      "varn: warning: shouldn't give -s or -l with -e\n",
      "varn: No more processes\n",
      "No more processes",
      // Reports on standard output.
      "Binary files %s and %s differ\n",
      "No differences encountered",
      "Only in %.*s: %s\n",
      "Common subdirectories: %s and %s\n",
      "Files %s and %s are identical\n",
      "varn %s %s",
      // The spool file.
      "/tmp/dXXXXX",
  };
  for (const char* message : messages) {
    EXPECT_TRUE(mentions(text, message)) << "ovarn.1 lacks: " << message;
  }
  const char* const output_lines[] = {
      "< %s", "> %s", "---", "d%d %d", "a%d %d", ".",
      "***************", "*** %s\t%s", "--- %s\t%s", "*** %s ****", "--- %s ----",
      "  %s", "- %s", "+ %s", "! %s",
      "#ifdef %s", "#ifndef %s", "#else %s%s", "#endif %s",
      "Only in %.*s:",
      "Common identical files in %.*s and %.*s:",
      "Binary files which differ in %.*s and %.*s:",
      "Common subdirectories of %.*s and %.*s:",
      "ed - %s << '-*-END-*-'", "w", "q", "-*-END-*-",
  };
  for (const char* line : output_lines) {
    EXPECT_TRUE(shows_line(text, line)) << "ovarn.1 shows no line: " << line;
  }
}

TEST(ManualPages, EveryMessageOfTheHelperIsShown) {
  const std::string text = plain_text(installed_page("ovarnh.1"));
  const char* const messages[] = {
      "varnh: must have 2 file arguments",
      "varnh: can't access %s",
      "varnh: can't open%s",
      "varnh: program error %s",
      "varnh: can't resynchronize",
      "---change record omitted",
  };
  for (const char* message : messages) {
    EXPECT_TRUE(mentions(text, message)) << "ovarnh.1 lacks: " << message;
  }
  for (const char* line : {"%ld,$c%ld,$", "< %s", "> %s", "---"}) {
    EXPECT_TRUE(shows_line(text, line)) << "ovarnh.1 shows no line: " << line;
  }
}

TEST(ManualPages, NameTheConfiguredPaths) {
  // As the reader sees them: the pages mark where a long path may break.
  const std::string ovarn_page = plain_text(installed_page("ovarn.1"));
  const std::string helper_page = plain_text(installed_page("ovarnh.1"));
  EXPECT_NE(ovarn_page.find(OVARN_STAGE_PROGRAM), std::string::npos);
  EXPECT_NE(ovarn_page.find(OVARN_STAGE_HELPER), std::string::npos);
  EXPECT_NE(helper_page.find(OVARN_STAGE_HELPER), std::string::npos);
  const std::regex unfilled("@[A-Z_]+@");
  for (const std::string& page : {ovarn_page, helper_page}) {
    EXPECT_FALSE(std::regex_search(page, unfilled)) << "a build setting was left unfilled";
  }
}

// The files an example of a page runs on, by name within the example's
// working directory.
struct example_case {
  const char* page;
  const char* command;  // as the page shows it after "$ "
  std::vector<std::pair<std::string, std::string>> files;
};

// Lines of an example block: after the line "$ <command>", up to the end of
// the block (an empty line of the plain text) or the next command line.
std::string example_output(const std::string& text, const std::string& command) {
  const std::string marker = "\n$ " + command + "\n";
  const size_t start = text.find(marker);
  if (start == std::string::npos) return "<no example for " + command + ">";
  std::istringstream lines(text.substr(start + marker.size()));
  std::string line, out;
  while (std::getline(lines, line) && !line.empty() && line.rfind("$ ", 0) != 0) {
    out += line + "\n";
  }
  return out;
}

std::vector<std::string> words(const std::string& command) {
  std::istringstream in(command);
  std::vector<std::string> out;
  for (std::string w; in >> w;) out.push_back(w);
  return out;
}

TEST(ManualPages, ExamplesShowWhatTheProgramsPrint) {
  const std::vector<std::pair<std::string, std::string>> pair_of_files = {
      {"old", "a\nb\nc\nd\ne\n"}, {"new", "a\nc\nd\nX\ne\nf\n"}};
  const example_case examples[] = {
      {"ovarn.1", "ovarn old new", pair_of_files},
      {"ovarn.1", "ovarn -e old new", pair_of_files},
      {"ovarn.1", "ovarn -f old new", pair_of_files},
      {"ovarn.1", "ovarn -n old new", pair_of_files},
      {"ovarn.1", "ovarn -c1 old new", pair_of_files},
      {"ovarn.1", "ovarn -DNAME old new", pair_of_files},
      {"ovarn.1", "ovarn -b a b",
       {{"a/x", "one\ntwo\nold line\n"}, {"b/x", "one\ntwo\nnew line\n"}}},
      {"ovarnh.1", "ovarn -h old new",
       {{"old", "a\nb1\nb2\nc\nd\ne\nf\n"}, {"new", "a\nx1\nx2\nx3\nc\nd\ne\nf\n"}}},
      {"ovarnh.1", "ovarn -h short1 short2", {{"short1", "a\nb\nc\nd\n"}, {"short2", "a\nX\nc\nd\n"}}},
  };
  // The context example shows the files' times as of the start of 2026.
  const time_t start_of_2026 = 1767225600;
  for (const example_case& example : examples) {
    temp_dir dir;
    for (const auto& [name, content] : example.files) {
      const size_t slash = name.find('/');
      if (slash != std::string::npos) make_dir(dir / name.substr(0, slash));
      write_file(dir / name, content);
      set_mtime(dir / name, start_of_2026);
    }
    std::vector<std::string> args = words(example.command);
    args.erase(args.begin());
    const run_result r = run_ovarn(args, "", dir.path());
    const std::string shown = example_output(plain_text(installed_page(example.page)),
                                             example.command);
    EXPECT_EQ(shown, r.out) << example.page << ": $ " << example.command;
    EXPECT_EQ(r.err, "") << example.command;
  }
}

TEST(ManualPages, FormatWithoutWarnings) {
  const std::string groff = outside_program("groff", "groff-base");
  if (groff.empty()) return;
  for (const char* page : {"ovarn.1", "ovarnh.1"}) {
    const std::string path = std::string(OVARN_STAGE_PREFIX) + "/share/man/man1/" + page;
    run_request request;
    request.path = groff;
    request.argv = {"groff", "-man", "-Tutf8", "-ww", "-z", path};
    request.no_input = true;
    const run_result r = run_program(request);
    EXPECT_EQ(r.status, 0) << page;
    EXPECT_EQ(r.err, "") << page;
  }
}

}  // namespace
