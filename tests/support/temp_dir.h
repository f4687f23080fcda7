// A fresh directory under /tmp that is removed with everything in it when the
// object goes, and small helpers for the files tests make in it.
#ifndef OVARN_TESTS_SUPPORT_TEMP_DIR_H_
#define OVARN_TESTS_SUPPORT_TEMP_DIR_H_

#include <ctime>
#include <string>

class temp_dir {
 public:
  temp_dir();
  ~temp_dir();
  temp_dir(const temp_dir&) = delete;
  temp_dir& operator=(const temp_dir&) = delete;

  const std::string& path() const { return path_; }
  // path() + "/" + name
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

void write_file(const std::string& path, const std::string& content);
std::string read_file(const std::string& path);
void make_dir(const std::string& path);
// Sets both access and modification time.
void set_mtime(const std::string& path, time_t when);
// Names of the files now in /tmp whose names match the spool pattern /tmp/d?????.
std::string spool_files_snapshot();

#endif  // OVARN_TESTS_SUPPORT_TEMP_DIR_H_
