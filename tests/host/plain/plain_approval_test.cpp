// The plain approval question: what it shows and how each answer source decides.

#include "host/plain/plain_approval.h"

#include <gtest/gtest.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "zell/output/capture.h"

namespace {

using host::ApprovalMode;
using zell_test::FakeClock;
using zell_test::RecordingWriter;

TEST(ApprovalQuestion, ShowsTheWholeCommandWithControlsVisible) {
  const std::string long_command(300, 'x');
  const std::string q =
      host::approval_question("bash", long_command + "\ncurl evil\x1b]52;c;x\x07");
  EXPECT_EQ(q, "\n\x1b[1;33m▪ Approve bash\x1b[0m\n    \x1b[36m" + long_command +
                   "\x1b[0m\n    \x1b[36mcurl evil␛]52;c;x␇\x1b[0m\n  Allow? [y/N] ");
}

TEST(ApprovalQuestion, BidiAndZeroWidthCharactersAreShownNotObeyed) {
  // A right-to-left override would make "rm -rf ~ #txt.exe" read differently on screen.
  const std::string q = host::approval_question("ba\u200Bsh", "echo \u202Eexe.txt\u2028rm -rf ~");
  EXPECT_EQ(q,
            "\n\x1b[1;33m▪ Approve ba<U+200B>sh\x1b[0m\n    \x1b[36mecho "
            "<U+202E>exe.txt<U+2028>rm -rf ~\x1b[0m\n  Allow? [y/N] ");
}

struct AnswerCase {
  std::string name;
  ApprovalMode mode;
  const char* typed;  // what the user types on the terminal; null: there is no terminal
  bool approved;
};

class Answers : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(Answers, Decide) {
  const AnswerCase& c = GetParam();
  FakeClock clock;
  auto out = std::make_shared<RecordingWriter>();
  zell::output::OutputManager m(zell_test::recorded_ports(out, clock));
  // The terminal is a pty in its default (cooked) mode: the user's line arrives on Enter.
  int master = -1;
  int slave = -1;
  ASSERT_EQ(::openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  termios mode{};
  ASSERT_EQ(::tcgetattr(slave, &mode), 0);
  mode.c_lflag &= ~static_cast<tcflag_t>(ECHO);  // only the question comes back on the master
  ASSERT_EQ(::tcsetattr(slave, TCSANOW, &mode), 0);
  if (c.typed) {
    ASSERT_GE(::write(master, c.typed, std::char_traits<char>::length(c.typed)), 0);
  }
  auto opener = [&]() -> int { return c.typed ? ::dup(slave) : -1; };

  m._start_indicator();
  const bool approved = host::make_plain_approval(m, c.mode, out, opener)("bash", "make\x1b[8m");
  EXPECT_EQ(approved, c.approved);
  EXPECT_TRUE(m.indicator_running());  // paused for the question, running again after

  const std::string question = host::approval_question("bash", "make\x1b[8m");
  std::string recorded;
  if (c.mode == ApprovalMode::approve_all) {
    recorded = question + "y (--yes)\n";
  } else if (!c.typed) {
    recorded = question + "n (no terminal to ask)\n";
  } else {
    // Asked on the terminal; standard output gets the outcome when it is not that terminal.
    std::string shown;
    char buf[4096];
    while (shown.find("Allow? [y/N] ") == std::string::npos) {
      const ssize_t n = ::read(master, buf, sizeof buf);
      ASSERT_GT(n, 0);
      shown.append(buf, static_cast<std::size_t>(n));
    }
    EXPECT_NE(shown.find("make␛[8m"), std::string::npos);
    if (!::isatty(STDOUT_FILENO)) recorded = question + (c.approved ? "y\n" : "n\n");
  }
  EXPECT_EQ(out->agent_output(), "\x1b[?25h\r\x1b[J" + recorded);
  ::close(master);
  ::close(slave);
}

INSTANTIATE_TEST_SUITE_P(
    Sources, Answers,
    ::testing::Values(AnswerCase{"yes_flag_approves", ApprovalMode::approve_all, nullptr, true},
                      AnswerCase{"no_terminal_denies", ApprovalMode::ask, nullptr, false},
                      AnswerCase{"typed_y", ApprovalMode::ask, "y\n", true},
                      AnswerCase{"typed_yes_any_case", ApprovalMode::ask, " YeS \n", true},
                      AnswerCase{"typed_n", ApprovalMode::ask, "n\n", false},
                      AnswerCase{"just_enter_means_no", ApprovalMode::ask, "\n", false},
                      AnswerCase{"typed_other", ApprovalMode::ask, "sure\n", false}),
    [](const auto& info) { return info.param.name; });

}  // namespace
