#include "tests/support/temp_dir.h"

#include <dirent.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

temp_dir::temp_dir() {
  char name[] = "/tmp/ovarn-test-XXXXXX";
  if (mkdtemp(name) == nullptr) abort();
  path_ = name;
}

temp_dir::~temp_dir() {
  std::error_code ec;
  // Make everything writable again so that removal works after tests that
  // took permissions away.
  for (auto it = std::filesystem::recursive_directory_iterator(
           path_, std::filesystem::directory_options::skip_permission_denied, ec);
       !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
    if (!it->is_symlink(ec)) chmod(it->path().c_str(), 0700);
  }
  chmod(path_.c_str(), 0700);
  std::filesystem::remove_all(path_, ec);
}

void write_file(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

void make_dir(const std::string& path) { mkdir(path.c_str(), 0755); }

void set_mtime(const std::string& path, time_t when) {
  struct timeval tv[2];
  tv[0].tv_sec = tv[1].tv_sec = when;
  tv[0].tv_usec = tv[1].tv_usec = 0;
  utimes(path.c_str(), tv);
}

std::string spool_files_snapshot() {
  std::vector<std::string> names;
  if (DIR* d = opendir("/tmp")) {
    while (dirent* e = readdir(d)) {
      if (e->d_name[0] == 'd' && strlen(e->d_name) == 6) names.emplace_back(e->d_name);
    }
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  std::string all;
  for (const auto& n : names) all += n + "\n";
  return all;
}
