// Descriptors and streams that close themselves when their owner's scope
// ends, so that no early way out of a step leaves one open.
#ifndef OVARN_BASE_OWNED_FILES_H_
#define OVARN_BASE_OWNED_FILES_H_

#include <unistd.h>

#include <cstdio>
#include <memory>
#include <utility>

class owned_fd {
 public:
  owned_fd() = default;
  explicit owned_fd(int fd) : fd_(fd) {}
  owned_fd(owned_fd&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  owned_fd& operator=(owned_fd&& other) noexcept {
    if (this != &other) {
      close_now();
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }
  owned_fd(const owned_fd&) = delete;
  owned_fd& operator=(const owned_fd&) = delete;
  ~owned_fd() { close_now(); }

  int get() const { return fd_; }
  bool is_open() const { return fd_ >= 0; }
  void close_now() {
    if (fd_ >= 0) close(fd_);
    fd_ = -1;
  }

 private:
  int fd_ = -1;
};

struct stream_closer {
  void operator()(FILE* stream) const { fclose(stream); }
};
using owned_stream = std::unique_ptr<FILE, stream_closer>;

#endif  // OVARN_BASE_OWNED_FILES_H_
