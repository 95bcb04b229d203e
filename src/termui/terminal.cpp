#include "termui/terminal.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <system_error>

namespace termui {
namespace {

// The restore path's state. It is global because a signal handler must reach it; only
// async-signal-safe operations (atomics, write, tcsetattr) touch it from a handler.
std::atomic<int> g_tty_fd{-1};  // >= 0 while the terminal is in application mode
termios g_saved{};
std::atomic<int> g_winch_fd{-1};

constexpr int EXIT_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int FATAL_SIGNALS[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
struct sigaction g_old_actions[NSIG];

void restore_now() noexcept {
  const int fd = g_tty_fd.exchange(-1);
  if (fd < 0) return;
  const std::string_view leave = Terminal::LEAVE;
  std::size_t done = 0;
  while (done < leave.size()) {
    const ssize_t n = ::write(fd, leave.data() + done, leave.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
  ::tcsetattr(fd, TCSANOW, &g_saved);
}

void on_exit_signal(int sig) {
  const int saved_errno = errno;
  restore_now();
  ::signal(sig, SIG_DFL);
  ::raise(sig);
  errno = saved_errno;
}

void on_winch(int) {
  const int saved_errno = errno;
  const int fd = g_winch_fd.load();
  if (fd >= 0) {
    const char byte = 'w';
    [[maybe_unused]] const ssize_t n = ::write(fd, &byte, 1);
  }
  errno = saved_errno;
}

void install(int sig, void (*handler)(int)) {
  struct sigaction sa {};
  sa.sa_handler = handler;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = sig == SIGWINCH ? SA_RESTART : 0;
  ::sigaction(sig, &sa, &g_old_actions[sig]);
}

void uninstall(int sig) {
  ::sigaction(sig, &g_old_actions[sig], nullptr);
}

void at_exit_restore() {
  restore_now();
}

}  // namespace

void write_all(int fd, std::string_view bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR) continue;
      if (errno == EAGAIN) {
        pollfd p{fd, POLLOUT, 0};
        ::poll(&p, 1, 100);
        continue;
      }
      throw std::system_error(errno, std::generic_category(), "write to terminal");
    }
    done += static_cast<std::size_t>(n);
  }
}

Terminal::Terminal() {
  if (::isatty(0) && ::isatty(1)) {
    in_fd_ = 0;
    out_fd_ = 1;
  } else {
    own_fd_ = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (own_fd_ < 0) throw std::system_error(errno, std::generic_category(), "open /dev/tty");
    in_fd_ = out_fd_ = own_fd_;
  }
  if (::pipe2(winch_pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    throw std::system_error(errno, std::generic_category(), "pipe");
  }
}

Terminal::~Terminal() {
  stop();
  for (int fd : winch_pipe_) {
    if (fd >= 0) ::close(fd);
  }
  if (own_fd_ >= 0) ::close(own_fd_);
}

void Terminal::start() {
  if (started_) return;
  termios raw{};
  if (::tcgetattr(in_fd_, &g_saved) != 0) {
    throw std::system_error(errno, std::generic_category(), "tcgetattr");
  }
  raw = g_saved;
  raw.c_iflag &= ~static_cast<tcflag_t>(BRKINT | ICRNL | INPCK | ISTRIP | IXON);
  raw.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  raw.c_cflag |= CS8;
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | IEXTEN | ISIG);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;

  static const bool registered = (std::atexit(at_exit_restore), true);
  (void)registered;
  g_winch_fd.store(winch_pipe_[1]);
  for (int sig : EXIT_SIGNALS) install(sig, on_exit_signal);
  for (int sig : FATAL_SIGNALS) install(sig, on_exit_signal);
  install(SIGWINCH, on_winch);

  if (::tcsetattr(in_fd_, TCSANOW, &raw) != 0) {
    throw std::system_error(errno, std::generic_category(), "tcsetattr");
  }
  g_tty_fd.store(out_fd_);
  started_ = true;
  write_all(out_fd_, ENTER);
}

void Terminal::stop() {
  if (!started_) return;
  started_ = false;
  restore_now();
  for (int sig : EXIT_SIGNALS) uninstall(sig);
  for (int sig : FATAL_SIGNALS) uninstall(sig);
  uninstall(SIGWINCH);
  g_winch_fd.store(-1);
}

void Terminal::drain_resize() {
  char buf[64];
  while (::read(winch_pipe_[0], buf, sizeof buf) > 0) {
  }
}

Size Terminal::size() {
  winsize ws{};
  if (::ioctl(out_fd_, TIOCGWINSZ, &ws) != 0 || ws.ws_col == 0) return {80, 24};
  return {ws.ws_col, ws.ws_row};
}

void Terminal::write(std::string_view bytes) {
  write_all(out_fd_, bytes);
}

}  // namespace termui
