#pragma once
// A pseudo-terminal standing in for the controlling terminal in tests.

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace termui::testing {

struct Pty {
  Pty() {
    termios raw{};
    cfmakeraw(&raw);
    if (openpty(&master, &slave, name, &raw, nullptr) != 0) throw std::runtime_error("openpty");
  }
  ~Pty() {
    ::close(master);
    ::close(slave);
  }
  // Reads until `n` bytes have arrived (or nothing comes for a long while).
  std::string read(std::size_t n) const {
    std::string got;
    char buf[65536];
    pollfd p{master, POLLIN, 0};
    while (got.size() < n && ::poll(&p, 1, 10000) > 0) {
      const ssize_t k = ::read(master, buf, sizeof buf);
      if (k <= 0) break;
      got.append(buf, static_cast<std::size_t>(k));
    }
    return got;
  }
  int master = -1;
  int slave = -1;
  char name[256] = {};
};

}  // namespace termui::testing
