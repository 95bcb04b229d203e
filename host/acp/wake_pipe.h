#pragma once
// A self-pipe that wakes a reader thread blocked in poll(): the reader polls `read_fd()` beside
// its own descriptor, and `wake()` makes it readable. Without a pipe (pipe2 failed) the reader
// polls its descriptor alone and ends when that one closes.

#include <fcntl.h>
#include <unistd.h>

namespace host::acp {

class WakePipe {
 public:
  WakePipe() {
    if (::pipe2(fds_, O_CLOEXEC) != 0) fds_[0] = fds_[1] = -1;
  }
  ~WakePipe() {
    for (int fd : fds_) {
      if (fd >= 0) ::close(fd);
    }
  }
  WakePipe(const WakePipe&) = delete;
  WakePipe& operator=(const WakePipe&) = delete;

  void wake() const {
    if (fds_[1] < 0) return;
    const char c = 0;
    const ssize_t ignored = ::write(fds_[1], &c, 1);
    (void)ignored;
  }
  // -1 when there is no pipe.
  [[nodiscard]] int read_fd() const { return fds_[0]; }

 private:
  int fds_[2] = {-1, -1};
};

}  // namespace host::acp
