#include "fuzz/fuzz_input.h"

#include <fcntl.h>
#include <stdlib.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>

#include <filesystem>

uint8_t fuzz_reader::take_byte() {
  if (size == 0) return 0;
  --size;
  return *data++;
}

std::string fuzz_reader::rest() {
  std::string text(reinterpret_cast<const char*>(data), size);
  data += size;
  size = 0;
  return text;
}

void split_pair(const std::string& text, const std::string& separator, std::string& old_text,
                std::string& new_text) {
  const size_t at = text.find(separator);
  if (at == std::string::npos) {
    old_text = text;
    new_text.clear();
    return;
  }
  old_text = text.substr(0, at);
  new_text = text.substr(at + separator.size());
}

void write_whole_file(const std::string& path, const std::string& content) {
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  if (fd < 0) return;
  size_t done = 0;
  while (done < content.size()) {
    const ssize_t n = write(fd, content.data() + done, content.size() - done);
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  close(fd);
}

fuzz_pair write_fuzz_pair(const std::string& text, const std::string& dir) {
  std::string old_text, new_text;
  split_pair(text, "\n==\n", old_text, new_text);
  fuzz_pair pair{dir + "/old", dir + "/new"};
  write_whole_file(pair.old_path, old_text);
  write_whole_file(pair.new_path, new_text);
  return pair;
}

const std::string& fuzz_work_dir() {
  // Never destroyed, so that the removal at exit can still read it.
  static const std::string* dir = [] {
    // In memory where the system offers it: on a disk, rewriting the files
    // for every input waits for the disk and slows the fuzzer many times.
    char in_memory[] = "/dev/shm/ovarn-fuzz-XXXXXX";
    char on_disk[] = "/tmp/ovarn-fuzz-XXXXXX";
    const char* name = mkdtemp(in_memory);
    if (name == nullptr) name = mkdtemp(on_disk);
    if (name == nullptr) abort();
    auto* path = new std::string(name);
    atexit(remove_fuzz_work_dir);
    return path;
  }();
  return *dir;
}

void remove_fuzz_work_dir() {
  std::error_code ignored;
  std::filesystem::remove_all(fuzz_work_dir(), ignored);
}

void capture_standard_output() {
  const int out = memfd_create("fuzz-output", 0);
  if (out < 0 || dup2(out, STDOUT_FILENO) < 0) abort();
  close(out);
}

std::string take_standard_output() {
  fflush(stdout);
  std::string text(static_cast<size_t>(lseek(STDOUT_FILENO, 0, SEEK_CUR)), '\0');
  if (pread(STDOUT_FILENO, text.data(), text.size(), 0) != static_cast<ssize_t>(text.size()))
    abort();
  if (ftruncate(STDOUT_FILENO, 0) != 0 || lseek(STDOUT_FILENO, 0, SEEK_SET) != 0) abort();
  return text;
}
