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

#include "unicode/width.h"

namespace termui {
namespace {

// The restore path's state. It is global because a signal handler must reach it; only
// async-signal-safe operations (atomics, write, tcsetattr) touch it from a handler.
std::atomic<int> g_tty_fd{-1};  // >= 0 while the terminal is in application mode
termios g_saved{};
termios g_raw{};
std::atomic<int> g_winch_fd{-1};
std::atomic<bool> g_graphemes_set{false};    // we switched grapheme clustering on
std::atomic<bool> g_keyboard_pushed{false};  // we pushed the kitty keyboard level
std::atomic<bool> g_redraw{false};           // the terminal was taken over again after a stop

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

void write_raw(int fd, std::string_view bytes) noexcept {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    done += static_cast<std::size_t>(n);
  }
}

// Gives the terminal back as it was: modes off, line discipline restored.
void leave(int fd) noexcept {
  if (g_keyboard_pushed.load()) write_raw(fd, Terminal::POP_KEYBOARD);
  if (g_graphemes_set.load()) write_raw(fd, Terminal::RESET_GRAPHEMES);
  write_raw(fd, Terminal::LEAVE);
  ::tcsetattr(fd, TCSANOW, &g_saved);
}

constexpr int EXIT_SIGNALS[] = {SIGINT, SIGTERM, SIGHUP, SIGQUIT};
constexpr int FATAL_SIGNALS[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
struct sigaction g_old_actions[NSIG];

void restore_now() noexcept {
  const int fd = g_tty_fd.exchange(-1);
  if (fd < 0) return;
  leave(fd);
}

// Ctrl+Z: the terminal is given back, the process stops as it would have by default, and once
// continued it takes the terminal over again and asks for a full redraw (whatever the shell
// drew meanwhile is gone from the alternate screen, which is cleared).
void on_suspend(int sig) {
  const int saved_errno = errno;
  const int fd = g_tty_fd.load();
  if (fd >= 0) leave(fd);
  ::signal(sig, SIG_DFL);
  sigset_t only{};
  sigemptyset(&only);
  sigaddset(&only, sig);
  sigset_t before{};
  ::raise(sig);  // held while this handler runs; delivered, and stopping us, on unblocking
  ::pthread_sigmask(SIG_UNBLOCK, &only, &before);
  ::pthread_sigmask(SIG_SETMASK, &before, nullptr);
  struct sigaction again {};
  again.sa_handler = on_suspend;
  sigemptyset(&again.sa_mask);
  ::sigaction(sig, &again, nullptr);
  if (fd >= 0 && g_tty_fd.load() == fd) {
    ::tcsetattr(fd, TCSANOW, &g_raw);
    write_raw(fd, Terminal::ENTER);
    if (g_graphemes_set.load()) write_raw(fd, Terminal::SET_GRAPHEMES);
    if (g_keyboard_pushed.load()) write_raw(fd, Terminal::PUSH_KEYBOARD);
    g_redraw.store(true);
    if (const int wake = g_winch_fd.load(); wake >= 0) {
      const char byte = 'c';
      [[maybe_unused]] const ssize_t n = ::write(wake, &byte, 1);
    }
  }
  errno = saved_errno;
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
  // Signals stay on for the suspend key alone: Ctrl+C and Ctrl+\\ arrive as keys.
  raw.c_lflag &= ~static_cast<tcflag_t>(ECHO | ICANON | IEXTEN);
  raw.c_cc[VINTR] = _POSIX_VDISABLE;
  raw.c_cc[VQUIT] = _POSIX_VDISABLE;
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;

  static const bool registered = (std::atexit(at_exit_restore), true);
  (void)registered;
  g_winch_fd.store(winch_pipe_[1]);
  for (int sig : EXIT_SIGNALS) install(sig, on_exit_signal);
  for (int sig : FATAL_SIGNALS) install(sig, on_exit_signal);
  install(SIGWINCH, on_winch);
  // A shell without job control starts us with the suspend signal ignored: then Ctrl+Z is too.
  struct sigaction current {};
  ::sigaction(SIGTSTP, nullptr, &current);
  suspend_handled_ = current.sa_handler != SIG_IGN;
  if (suspend_handled_) install(SIGTSTP, on_suspend);
  g_raw = raw;

  if (::tcsetattr(in_fd_, TCSANOW, &raw) != 0) {
    throw std::system_error(errno, std::generic_category(), "tcsetattr");
  }
  g_tty_fd.store(out_fd_);
  started_ = true;
  write_all(out_fd_, ENTER);
  write_all(out_fd_, QUERY_GRAPHEMES);
  write_all(out_fd_, QUERY_KEYBOARD);
  write_all(out_fd_, QUERY_BACKGROUND);
}

void Terminal::stop() {
  if (!started_) return;
  started_ = false;
  restore_now();
  for (int sig : EXIT_SIGNALS) uninstall(sig);
  for (int sig : FATAL_SIGNALS) uninstall(sig);
  uninstall(SIGWINCH);
  if (suspend_handled_) uninstall(SIGTSTP);
  g_winch_fd.store(-1);
  g_graphemes_set.store(false);
  g_keyboard_pushed.store(false);
  unicode::set_width_mode(unicode::WidthMode::code_points);
}

bool Terminal::on_mode_report(int mode, int value) {
  // DECRPM values: 1 set, 2 reset, 3 permanently set, 4 permanently reset, 0 not recognised.
  if (mode != 2027 || !started_ || (value != 1 && value != 2 && value != 3)) return false;
  if (value == 2) {
    g_graphemes_set.store(true);
    write_all(out_fd_, SET_GRAPHEMES);
  }
  if (unicode::width_mode() == unicode::WidthMode::graphemes) return false;
  unicode::set_width_mode(unicode::WidthMode::graphemes);
  return true;
}

void Terminal::on_keyboard_protocol(int /*flags*/) {
  if (!started_ || g_keyboard_pushed.exchange(true)) return;
  write_all(out_fd_, PUSH_KEYBOARD);
}

void Terminal::suspend_by_key() {
  // The signal goes through the same handler as the line discipline's, which hands the
  // terminal back first; a shell without job control ignores it, and so do we.
  if (started_ && suspend_handled_) ::raise(SIGTSTP);
}

void Terminal::release() {
  if (!started_ || g_tty_fd.load() < 0) return;
  restore_now();  // the signal handlers then leave the terminal alone
}

void Terminal::reclaim() {
  if (!started_ || g_tty_fd.load() >= 0) return;
  ::tcsetattr(in_fd_, TCSANOW, &g_raw);
  g_tty_fd.store(out_fd_);
  write_all(out_fd_, ENTER);
  if (g_graphemes_set.load()) write_all(out_fd_, SET_GRAPHEMES);
  if (g_keyboard_pushed.load()) write_all(out_fd_, PUSH_KEYBOARD);
}

bool Terminal::take_redraw() {
  return g_redraw.exchange(false);
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
