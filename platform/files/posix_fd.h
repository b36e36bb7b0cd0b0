// Owner of a POSIX file descriptor, shared by the POSIX implementations of the seams.
#pragma once

#include <unistd.h>

namespace lumora::posix {

class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  ~Fd() { reset(); }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }
  void reset() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  // Closes now and tells whether the close succeeded (a write may fail only here).
  bool closeChecked() {
    int fd = fd_;
    fd_ = -1;
    return fd < 0 || ::close(fd) == 0;
  }
  // Hands the descriptor over to another owner.
  int release() {
    int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

}  // namespace lumora::posix
