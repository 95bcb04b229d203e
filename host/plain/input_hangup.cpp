#include "host/plain/input_hangup.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <exception>
#include <thread>
#include <utility>

namespace host {
namespace {

// Pipes, sockets and terminals can be closed while we wait; files and devices cannot.
bool may_close(int fd) {
  struct stat st {};
  if (::fstat(fd, &st) != 0) return false;
  return S_ISFIFO(st.st_mode) || S_ISSOCK(st.st_mode) || ::isatty(fd) == 1;
}

bool holds_text(int fd) {
  int n = 0;
  return ::ioctl(fd, FIONREAD, &n) == 0 && n > 0;
}

// A pipe that becomes readable when the work has ended.
class EndSignal {
 public:
  EndSignal() {
    if (::pipe2(fds_, O_CLOEXEC) != 0) fds_[0] = fds_[1] = -1;
  }
  ~EndSignal() {
    for (const int fd : fds_) {
      if (fd >= 0) ::close(fd);
    }
  }
  EndSignal(const EndSignal&) = delete;
  EndSignal& operator=(const EndSignal&) = delete;
  void raise() const {
    if (fds_[1] >= 0) ::close(std::exchange(fds_[1], -1));
  }
  [[nodiscard]] int fd() const { return fds_[0]; }

 private:
  mutable int fds_[2] = {-1, -1};
};

}  // namespace

void run_watching_input(int fd, const std::function<void()>& work,
                        const std::function<void()>& give_up) {
  const EndSignal finished;
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    finished.raise();
  });
  bool watching = may_close(fd) && finished.fd() >= 0;
  while (watching) {
    // No events asked of `fd`: poll reports its hang-up (and errors) whatever is asked.
    pollfd fds[2] = {{finished.fd(), POLLIN, 0}, {fd, 0, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      break;
    }
    if (fds[0].revents != 0) break;
    if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      if (!holds_text(fd)) give_up();
      watching = false;  // closed is for good: nothing more to see
    }
  }
  worker.join();
  if (failure) std::rethrow_exception(failure);
}

}  // namespace host
