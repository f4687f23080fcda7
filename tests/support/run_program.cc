#include "tests/support/run_program.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace {

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string env_or(const char* name, const char* fallback) {
  const char* value = getenv(name);
  return value != nullptr && *value != '\0' ? value : fallback;
}

// The words of OVARN_TEST_EMULATOR, empty when the programs run natively.
std::vector<std::string> emulator_words() {
  std::vector<std::string> words;
  std::istringstream in(env_or("OVARN_TEST_EMULATOR", ""));
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

}  // namespace

bool programs_emulated() { return !emulator_words().empty(); }

run_request through_emulator(run_request request) {
  std::vector<std::string> words = emulator_words();
  if (words.empty() || (request.path != ovarn_path() && request.path != ovarnh_path())) {
    return request;
  }
  // qemu's -0 sets the argument zero the program sees.
  words.push_back("-0");
  words.push_back(request.argv.empty() ? request.path : request.argv[0]);
  words.push_back(request.path);
  if (!request.argv.empty()) words.insert(words.end(), request.argv.begin() + 1, request.argv.end());
  request.path = words[0];
  if (request.path.find('/') == std::string::npos) {
    request.path = outside_program(request.path, "qemu-user");
  }
  request.argv = std::move(words);
  return request;
}

std::string outside_program(const std::string& name, const std::string& package) {
  std::istringstream dirs(env_or("PATH", "/usr/bin:/bin"));
  for (std::string dir; std::getline(dirs, dir, ':');) {
    const std::string path = (dir.empty() ? "." : dir) + "/" + name;
    if (access(path.c_str(), X_OK) == 0) return path;
  }
  ADD_FAILURE() << name << " is not installed; it comes with the Debian package " << package
                << " (apt-get install " << package << ")";
  return "";
}

run_result run_program(const run_request& original) {
  const run_request request = through_emulator(original);
  temp_dir io;
  const std::string in_path = io.path() + "/in";
  const std::string out_path = io.path() + "/out";
  const std::string err_path = io.path() + "/err";
  write_file(in_path, request.input);

  std::vector<std::string> env_strings;
  for (char** e = environ; *e; ++e) {
    if (strncmp(*e, "TZ=", 3) != 0) env_strings.emplace_back(*e);
  }
  env_strings.emplace_back("TZ=UTC");
  for (const auto& e : request.env) env_strings.push_back(e);
  std::vector<char*> envp;
  for (auto& e : env_strings) envp.push_back(e.data());
  envp.push_back(nullptr);

  std::vector<std::string> args = request.argv;
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  pid_t pid = fork();
  if (pid == 0) {
    int in = open(request.no_input ? "/dev/null" : in_path.c_str(), O_RDONLY);
    int out = open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    int err = open(err_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    if (in < 0 || out < 0 || err < 0) _exit(127);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    close(in);
    close(out);
    close(err);
    setpgid(0, 0);  // so that a timeout can end the whole tree
    signal(SIGPIPE, SIG_DFL);
    if (!request.cwd.empty() && chdir(request.cwd.c_str()) != 0) _exit(127);
    execve(request.path.c_str(), argv.data(), envp.data());
    _exit(127);
  }
  run_result result;
  if (pid < 0) return result;
  int wstatus = 0;
  const time_t deadline = time(nullptr) + request.timeout_seconds;
  for (;;) {
    pid_t r = waitpid(pid, &wstatus, WNOHANG);
    if (r == pid) break;
    if (r < 0) return result;
    if (time(nullptr) >= deadline) {
      result.timed_out = true;
      kill(-pid, SIGKILL);
      kill(pid, SIGKILL);
      waitpid(pid, &wstatus, 0);
      break;
    }
    usleep(2000);
  }
  if (WIFEXITED(wstatus)) result.status = WEXITSTATUS(wstatus);
  else if (WIFSIGNALED(wstatus)) result.status = 128 + WTERMSIG(wstatus);
  result.out = slurp(out_path);
  result.err = slurp(err_path);
  return result;
}

std::string ovarn_path() { return env_or("OVARN_TEST_OVARN", OVARN_STAGE_PROGRAM); }
std::string ovarnh_path() { return env_or("OVARN_TEST_OVARNH", OVARN_STAGE_HELPER); }
std::string variant_path(const std::string& name) { return std::string(OVARN_VARIANT_DIR) + "/" + name; }

run_result run_ovarn(const std::vector<std::string>& args, const std::string& input,
                     const std::string& cwd) {
  run_request r;
  r.path = ovarn_path();
  r.argv.push_back("ovarn");
  r.argv.insert(r.argv.end(), args.begin(), args.end());
  r.input = input;
  r.cwd = cwd;
  return run_program(r);
}

run_result run_ovarnh(const std::vector<std::string>& args, const std::string& input,
                      const std::string& cwd) {
  run_request r;
  r.path = ovarnh_path();
  r.argv.push_back("varnh");
  r.argv.insert(r.argv.end(), args.begin(), args.end());
  r.input = input;
  r.cwd = cwd;
  return run_program(r);
}

std::string error_text(int e) { return strerror(e); }
