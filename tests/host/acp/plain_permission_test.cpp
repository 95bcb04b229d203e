// The permission question of the plain presentation: every option numbered, the command whole
// and escape-proof, and what each typed answer selects.

#include "host/acp/plain_permission.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include "host/acp/null_writer.h"

namespace {

using namespace host::acp;

PermissionQuestion question() {
  PermissionQuestion q;
  q.title = "Run rm";
  q.detail = "rm -rf build\x1b]0;owned\x07\nsecond line";
  q.options = {{"yes", "Allow", "allow_once"},
               {"no", "Reject", "reject_once"},
               {"always", "Always allow", "allow_always"}};
  return q;
}

TEST(PlainPermission, ShowsTheWholeCommandAndNumbersEveryOption) {
  EXPECT_EQ(plain_permission_question(question()),
            "\n\x1b[1;33m▪ Approve Run rm\x1b[0m\n"
            "    \x1b[36mrm -rf build␛]0;owned␇\x1b[0m\n"
            "    \x1b[36msecond line\x1b[0m\n"
            "  1 Allow · 2 Reject · 3 Always allow\n"
            "  Choice: ");
}

TEST(PlainPermission, ADiffIsShownInItsColoursAndEscapeProof) {
  PermissionQuestion q = question();
  q.detail = "--- a.txt\n+++ a.txt\n@@ -1 +1 @@\n-old\n+new\x1b[2J\n same";
  q.diff = true;
  const std::string text = plain_permission_question(q);
  EXPECT_NE(text.find("    \x1b[36m--- a.txt\x1b[0m\n"
                      "    \x1b[36m+++ a.txt\x1b[0m\n"
                      "    \x1b[1;36m@@ -1 +1 @@\x1b[0m\n"
                      "    \x1b[31m-old\x1b[0m\n"
                      "    \x1b[32m+new␛[2J\x1b[0m\n"
                      "    \x1b[36m same\x1b[0m\n"),
            std::string::npos)
      << text;
}

// What the asker writes to standard output.
struct Recorder final : zell::output::Writer {
  void write(std::string_view s) override { text += s; }
  void flush() override {}
  std::string text;
};

TEST(PlainPermission, YesAllowsOnceElseAlwaysAndSaysWhichNumber) {
  zell::output::OutputPorts ports;
  ports.out = std::make_shared<acp_test::NullWriter>();
  zell::output::OutputManager manager(ports);
  struct Case {
    std::vector<PermissionOption> options;
    std::optional<std::string> chosen;
    std::string said;
  };
  for (const Case& c :
       {Case{question().options, "yes", "1 (--yes)"},
        Case{{{"no", "Reject", "reject_once"}, {"always", "Always", "allow_always"}},
             "always",
             "2 (--yes)"},
        Case{{{"no", "Reject", "reject_once"}},
             std::nullopt,
             "(--yes, but the agent offers no way to allow: cancelled)"}}) {
    auto out = std::make_shared<Recorder>();
    const PermissionAsker ask = make_plain_permission_asker(
        manager, host::ApprovalMode::approve_all, out, [] { return -1; });
    PermissionQuestion q = question();
    q.options = c.options;
    EXPECT_EQ(ask(q), c.chosen);
    EXPECT_TRUE(out->text.ends_with("Choice: " + c.said + "\n")) << out->text;
  }
}

TEST(PlainPermission, AnswersSelectByNumberAndAnythingElseRejects) {
  const PermissionQuestion q = question();
  for (const auto& [answer, chosen] :
       std::vector<std::pair<std::string, std::string>>{{"1", "yes"},
                                                        {" 3 ", "always"},
                                                        {"2", "no"},
                                                        {"", "no"},
                                                        {"4", "no"},
                                                        {"y", "no"},
                                                        {"0", "no"},
                                                        {"99999999999999999999", "no"}}) {
    EXPECT_EQ(plain_permission_choice(q, answer), chosen) << answer;
  }
  PermissionQuestion allow_only = q;
  allow_only.options.erase(allow_only.options.begin() + 1);
  EXPECT_EQ(plain_permission_choice(allow_only, "x"), std::nullopt);  // cancelled
}

// The question asked on a terminal (one end of a socket pair, the test holding the other).
struct Terminal {
  Terminal() { EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0); }
  ~Terminal() { ::close(ends[1]); }  // the asker closes its end
  int ends[2] = {-1, -1};
};

TEST(PlainPermission, AQuestionOpenWhenTheTurnIsCancelledIsCancelled) {
  zell::output::OutputPorts ports;
  ports.out = std::make_shared<acp_test::NullWriter>();
  zell::output::OutputManager manager(ports);
  int cancelled[2] = {-1, -1};
  ASSERT_EQ(::pipe(cancelled), 0);
  for (const bool cancel : {false, true}) {
    SCOPED_TRACE(cancel);
    Terminal tty;
    const PermissionAsker ask = make_plain_permission_asker(
        manager, host::ApprovalMode::ask, std::make_shared<acp_test::NullWriter>(),
        [&] { return tty.ends[0]; });
    PermissionQuestion q = question();
    q.cancelled_fd = cancelled[0];
    if (cancel) {
      ASSERT_EQ(::write(cancelled[1], "x", 1), 1);  // nothing typed: the cancel answers
      EXPECT_EQ(ask(q), std::nullopt);
    } else {
      ASSERT_EQ(::write(tty.ends[1], "3\n", 2), 2);
      EXPECT_EQ(ask(q), "always");
    }
  }
  ::close(cancelled[0]);
  ::close(cancelled[1]);
}

}  // namespace
