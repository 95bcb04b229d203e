#pragma once
// The real terminal: raw mode, alternate screen, hidden cursor, SGR mouse reporting (press,
// drag motion, release, wheel), bracketed paste, SIGWINCH through a self-pipe. The terminal is
// put back on every way out: `stop`, the destructor, exit(), SIGINT/SIGTERM/SIGHUP/SIGQUIT and
// fatal signals (the signal path uses only async-signal-safe calls, then re-raises). Ctrl+Z
// (SIGTSTP) puts it back too before the process stops; SIGCONT takes it over again and asks
// the App, through the resize pipe, to redraw everything.
//
// At start it asks whether the terminal clusters graphemes (DECRQM for mode 2027); when the
// answer comes, the process-wide width mode follows it (see unicode/width.h).

#include <termios.h>

#include "termui/driver.h"

namespace termui {

class Terminal final : public Driver {
 public:
  // Uses standard input/output when they are a terminal, else opens /dev/tty.
  Terminal();
  ~Terminal() override;
  Terminal(const Terminal&) = delete;
  Terminal& operator=(const Terminal&) = delete;

  void start() override;
  void stop() override;
  [[nodiscard]] int input_fd() const override { return in_fd_; }
  [[nodiscard]] int resize_fd() const override { return winch_pipe_[0]; }
  void drain_resize() override;
  [[nodiscard]] Size size() override;
  void write(std::string_view bytes) override;
  bool on_mode_report(int mode, int value) override;
  bool take_redraw() override;
  void on_keyboard_protocol(int flags) override;
  void suspend_by_key() override;
  void release() override;
  void reclaim() override;

  // The bytes that switch every mode on and back off, in the order they are written.
  // modifyOtherKeys level 1 (CSI > 4 ; 1 m) makes xterm-like terminals report the keys the
  // legacy bytes cannot tell apart (Shift+Enter); a terminal without it ignores the request.
  // Focus reporting (1004) tells the App whether the user is looking, for notifications.
  static constexpr std::string_view ENTER =
      "\x1b[?1049h\x1b[?25l\x1b[?1000h\x1b[?1002h\x1b[?1006h\x1b[?2004h\x1b[>4;1m\x1b[?1004h"
      "\x1b[H\x1b[2J";
  static constexpr std::string_view LEAVE =
      "\x1b[?2026l\x1b[?1004l\x1b[>4m\x1b[?2004l\x1b[?1006l\x1b[?1002l\x1b[?1000l\x1b[0m"
      "\x1b[?25h\x1b[?1049l";
  // Asks whether the terminal speaks the kitty keyboard protocol (it answers CSI ? flags u);
  // when it does, its "disambiguate" level is pushed (and popped on the way out).
  static constexpr std::string_view QUERY_KEYBOARD = "\x1b[?u";
  static constexpr std::string_view PUSH_KEYBOARD = "\x1b[>1u";
  static constexpr std::string_view POP_KEYBOARD = "\x1b[<u";
  // Asks for the state of grapheme clustering (mode 2027), then sets, then resets it.
  static constexpr std::string_view QUERY_GRAPHEMES = "\x1b[?2027$p";
  static constexpr std::string_view SET_GRAPHEMES = "\x1b[?2027h";
  static constexpr std::string_view RESET_GRAPHEMES = "\x1b[?2027l";
  // Asks for the background colour (OSC 11), so that a light terminal gets the light theme.
  static constexpr std::string_view QUERY_BACKGROUND = "\x1b]11;?\x1b\\";

 private:
  int in_fd_ = -1;
  int out_fd_ = -1;
  int own_fd_ = -1;  // /dev/tty when we opened it
  int winch_pipe_[2] = {-1, -1};
  bool started_ = false;
  bool suspend_handled_ = false;
};

// Writes all of `bytes` to `fd`, retrying on EINTR and short writes; throws std::system_error.
void write_all(int fd, std::string_view bytes);

}  // namespace termui
