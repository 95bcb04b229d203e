#include "host/plain/interrupt_relay.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <stdexcept>
#include <utility>

namespace host {

namespace {

constexpr char kInterrupt = 'i';
constexpr char kQuit = 'q';

// The relay's write end, for the signal handler: the one place a handler can find it.
std::atomic<int> relay_fd{-1};
struct sigaction previous_action {};

extern "C" void relay_interrupt(int) {
  const int saved = errno;
  const int fd = relay_fd.load();
  if (fd >= 0) {
    const ssize_t ignored = ::write(fd, &kInterrupt, 1);  // a full pipe already holds a Ctrl+C
    (void)ignored;
  }
  errno = saved;
}

const struct sigaction& relay_action() {
  static const struct sigaction action = [] {
    struct sigaction a {};
    a.sa_handler = relay_interrupt;
    sigemptyset(&a.sa_mask);
    a.sa_flags = SA_RESTART;  // a read of the chat's input goes on after a Ctrl+C
    return a;
  }();
  return action;
}

}  // namespace

InterruptRelay::InterruptRelay(std::function<bool()> on_interrupt)
    : on_interrupt_(std::move(on_interrupt)) {
  if (::pipe2(pipe_, O_CLOEXEC) != 0) throw std::runtime_error("interrupt relay: pipe failed");
  ::fcntl(pipe_[1], F_SETFL, O_NONBLOCK);
  relay_fd.store(pipe_[1]);
  ::sigaction(SIGINT, &relay_action(), &previous_action);
  thread_ = std::thread([this] { run(); });
}

InterruptRelay::~InterruptRelay() {
  // The thread first, so that it cannot put its handler back after the earlier one returns.
  const ssize_t ignored = ::write(pipe_[1], &kQuit, 1);
  (void)ignored;
  thread_.join();
  ::sigaction(SIGINT, &previous_action, nullptr);
  relay_fd.store(-1);
  ::close(pipe_[0]);
  ::close(pipe_[1]);
}

void InterruptRelay::run() {
  for (;;) {
    char byte = 0;
    const ssize_t n = ::read(pipe_[0], &byte, 1);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0 || byte == kQuit) return;
    if (on_interrupt_()) continue;
    // Not ours to handle: what would have happened without the relay happens now (usually
    // the end of the process); if that returns, the relay carries on.
    if (previous_action.sa_handler == SIG_IGN) continue;
    ::sigaction(SIGINT, &previous_action, nullptr);
    ::raise(SIGINT);
    ::sigaction(SIGINT, &relay_action(), nullptr);
  }
}

}  // namespace host
