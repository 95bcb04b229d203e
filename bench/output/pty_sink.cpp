#include "pty_sink.h"

#include <poll.h>
#include <pty.h>
#include <unistd.h>

#include <stdexcept>

namespace bench {

PtySink::PtySink(unsigned short cols) {
  winsize ws{};
  ws.ws_col = cols;
  ws.ws_row = 24;
  // Default line settings, as a real terminal has them (output processing on).
  if (::openpty(&master_, &slave_, nullptr, nullptr, &ws) != 0) throw std::runtime_error("openpty");
  drain_ = std::thread([this] {
    char buf[65536];
    while (!stop_.load()) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0) continue;
      if (::read(master_, buf, sizeof buf) <= 0) return;
    }
  });
}

void PtySink::take_stdout() {
  saved_stdout_ = ::dup(STDOUT_FILENO);
  ::dup2(slave_, STDOUT_FILENO);
}

void PtySink::restore_stdout() {
  if (saved_stdout_ < 0) return;
  ::dup2(saved_stdout_, STDOUT_FILENO);
  ::close(saved_stdout_);
  saved_stdout_ = -1;
}

PtySink::~PtySink() {
  restore_stdout();
  stop_.store(true);
  drain_.join();
  ::close(slave_);
  ::close(master_);
}

}  // namespace bench
