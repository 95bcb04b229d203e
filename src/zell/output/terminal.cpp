#include "zell/output/terminal.h"

#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

namespace zell::output {

int _cols() noexcept {
  winsize ws{};
  if (::ioctl(STDOUT_FILENO, TIOCGWINSZ, &ws) != 0 || ws.ws_col == 0) return 80;
  return ws.ws_col;
}

double wall_clock() noexcept {
  using namespace std::chrono;
  return duration<double>(system_clock::now().time_since_epoch()).count();
}

void FdWriter::write(std::string_view bytes) {
  const char* p = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = ::write(fd_, p, left);
    if (n >= 0) {
      p += n;
      left -= static_cast<std::size_t>(n);
      continue;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) {
      pollfd pfd{fd_, POLLOUT, 0};
      ::poll(&pfd, 1, -1);
      continue;
    }
    if (errno == EBADF) throw StreamClosed();
    throw OutputError(errno, std::generic_category(), "write to standard output");
  }
}

}  // namespace zell::output
