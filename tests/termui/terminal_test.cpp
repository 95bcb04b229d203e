// The real terminal driver on a pseudo-terminal: every way out of the program (stop, exit(),
// SIGTERM, SIGINT, SIGHUP, a fatal signal, an exception through App::run) must switch the
// modes back off and give the terminal back its line discipline.

#include "termui/terminal.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <string>

#include "termui/app.h"
#include "unicode/width.h"

namespace termui {
namespace {

enum class Exit { stop, destructor, exit_call, sigterm, sigint, sighup, segv, app_exception };

struct ExitCase {
  const char* name;
  Exit how;
};

class Throwing : public App {
  void on_mount() override { throw std::runtime_error("boom at start-up"); }
};

[[noreturn]] void child(Exit how) {
  if (how == Exit::app_exception) {
    Throwing app;
    std::_Exit(app.run() == 1 ? 0 : 2);
  }
  {
    Terminal t;
    t.start();
    t.write("READY");
    switch (how) {
      case Exit::stop:
        t.stop();
        break;
      case Exit::destructor:
        break;
      case Exit::exit_call:
        std::exit(0);
      case Exit::sigterm:
        ::raise(SIGTERM);
        break;
      case Exit::sigint:
        ::raise(SIGINT);
        break;
      case Exit::sighup:
        ::raise(SIGHUP);
        break;
      case Exit::segv:
        ::raise(SIGSEGV);
        break;
      case Exit::app_exception:
        break;
    }
  }
  std::_Exit(0);
}

class TerminalRestore : public ::testing::TestWithParam<ExitCase> {};

TEST_P(TerminalRestore, modes_are_switched_off_and_line_discipline_restored) {
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) child(GetParam().how);
  std::string out;
  char buf[4096];
  while (true) {
    const ssize_t n = ::read(master, buf, sizeof buf);
    if (n <= 0) break;
    out.append(buf, static_cast<std::size_t>(n));
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  termios after{};
  const bool have_attrs = ::tcgetattr(master, &after) == 0;
  ::close(master);

  const std::size_t enter = out.find(Terminal::ENTER);
  const std::size_t leave = out.rfind(Terminal::LEAVE);
  ASSERT_NE(enter, std::string::npos) << out;
  ASSERT_NE(leave, std::string::npos) << out;
  EXPECT_LT(enter, leave);
  if (have_attrs) {
    EXPECT_TRUE(after.c_lflag & ICANON);
    EXPECT_TRUE(after.c_lflag & ECHO);
  }
  switch (GetParam().how) {
    case Exit::sigterm:
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
      break;
    case Exit::sigint:
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT);
      break;
    case Exit::sighup:
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGHUP);
      break;
    case Exit::segv:
      EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGSEGV);
      break;
    default:
      EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Exits, TerminalRestore,
    ::testing::Values(ExitCase{"stop", Exit::stop}, ExitCase{"destructor", Exit::destructor},
                      ExitCase{"exit_call", Exit::exit_call}, ExitCase{"sigterm", Exit::sigterm},
                      ExitCase{"sigint", Exit::sigint}, ExitCase{"sighup", Exit::sighup},
                      ExitCase{"segv", Exit::segv}, ExitCase{"app_exception", Exit::app_exception}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Terminal, leave_sequence_switches_every_mode_off) {
  for (std::string_view mode : {"?1049", "?1000", "?1002", "?1006", "?2004", "?1004", "?25"}) {
    EXPECT_NE(Terminal::ENTER.find(std::string("\x1b[") + std::string(mode) +
                                   (mode == "?25" ? "l" : "h")),
              std::string_view::npos)
        << mode;
    EXPECT_NE(Terminal::LEAVE.find(std::string("\x1b[") + std::string(mode) +
                                   (mode == "?25" ? "h" : "l")),
              std::string_view::npos)
        << mode;
  }
}

}  // namespace
}  // namespace termui

namespace termui {
namespace {

// A terminal that says it can cluster graphemes (mode 2027 reset, value 2) gets it switched on,
// widths follow, and leaving switches it off again and widths go back to code points.
TEST(Terminal, grapheme_clustering_is_asked_for_used_once_confirmed_and_reset) {
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    Terminal t;
    t.start();
    const bool ignored = t.on_mode_report(2027, 4);  // permanently reset: not available
    const bool changed = t.on_mode_report(2027, 2);
    const bool graphemes = unicode::width_mode() == unicode::WidthMode::graphemes;
    t.stop();
    const bool back = unicode::width_mode() == unicode::WidthMode::code_points;
    std::_Exit(!ignored && changed && graphemes && back ? 0 : 3);
  }
  std::string out;
  char buf[4096];
  for (ssize_t n; (n = ::read(master, buf, sizeof buf)) > 0;) {
    out.append(buf, static_cast<std::size_t>(n));
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(master);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  const std::size_t query = out.find(Terminal::QUERY_GRAPHEMES);
  const std::size_t set = out.find(Terminal::SET_GRAPHEMES);
  const std::size_t reset = out.find(Terminal::RESET_GRAPHEMES);
  ASSERT_NE(query, std::string::npos);
  ASSERT_NE(set, std::string::npos);
  ASSERT_NE(reset, std::string::npos);
  EXPECT_LT(out.find(Terminal::ENTER), query);
  EXPECT_LT(query, set);
  EXPECT_LT(set, reset);
  EXPECT_LT(reset, out.rfind(Terminal::LEAVE));
}

// A terminal that answers the keyboard protocol query gets its disambiguating level pushed,
// once; handing the terminal to another program pops it and leaves the screen, taking it back
// enters again and pushes again, and leaving pops it before the modes go off.
TEST(Terminal, keyboard_protocol_is_pushed_once_and_popped_around_a_handover_and_at_exit) {
  int master = -1;
  const pid_t pid = ::forkpty(&master, nullptr, nullptr, nullptr);
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    Terminal t;
    t.start();
    t.on_keyboard_protocol(1);
    t.on_keyboard_protocol(1);
    t.release();
    t.write("OUTSIDE");  // what the other program would draw
    t.reclaim();
    t.stop();
    std::_Exit(0);
  }
  std::string out;
  char buf[4096];
  for (ssize_t n; (n = ::read(master, buf, sizeof buf)) > 0;) {
    out.append(buf, static_cast<std::size_t>(n));
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  ::close(master);
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
  auto count = [&](std::string_view what) {
    std::size_t n = 0;
    for (std::size_t at = out.find(what); at != std::string::npos; at = out.find(what, at + 1)) ++n;
    return n;
  };
  EXPECT_LT(out.find(Terminal::QUERY_KEYBOARD), out.find(Terminal::PUSH_KEYBOARD));
  EXPECT_EQ(count(Terminal::PUSH_KEYBOARD), 2u);  // at the answer, and after the handover
  EXPECT_EQ(count(Terminal::POP_KEYBOARD), 2u);
  EXPECT_EQ(count(Terminal::ENTER), 2u);
  const std::size_t outside = out.find("OUTSIDE");
  ASSERT_NE(outside, std::string::npos);
  EXPECT_LT(out.find(Terminal::POP_KEYBOARD), out.find(Terminal::LEAVE));
  EXPECT_LT(out.find(Terminal::LEAVE), outside);
  EXPECT_LT(outside, out.rfind(Terminal::ENTER));
  EXPECT_LT(out.rfind(Terminal::POP_KEYBOARD), out.rfind(Terminal::LEAVE));
}

}  // namespace
}  // namespace termui
