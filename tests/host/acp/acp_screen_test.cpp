// The full screen driven by the project's scripted ACP agent (a real child process): its
// permission questions answered by the number of one of its options or cancelled by Ctrl+C,
// a cancelled turn, and the user lines and unreadable messages it sends, as drawn on screen.

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "host/chat_fakes.h"
#include "host/pilot_settle.h"
#include "host/temp_folder.h"
#include "host/tui/chat_input.h"
#include "host/tui/chat_screen.h"
#include "host/tui/status_line.h"
#include "host/tui/vellumine_tui.h"
#include "termui/pilot.h"

namespace {

using namespace std::chrono_literals;

using chat_test::NoStore;
using chat_test::Ready;

std::string trimmed(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s.substr(std::min(s.find_first_not_of(' '), s.size()));
}

// The chat screen at once, with the scripted agent answering every prompt.
class AcpChat {
 public:
  explicit AcpChat(bool preflight = false, std::vector<std::string> args = {},
                   std::chrono::milliseconds start_timeout = 60s,
                   std::chrono::milliseconds cancel_grace = 10s)
      : app_(
            config_, store_, [](const auto&) { return std::make_unique<Ready>(); },
            options(folder_.path().string(), preflight, std::move(args), start_timeout,
                    cancel_grace)),
        pilot(app_, {110, 40}) {
    app_.set_clock([this] { return now_; });
  }

  host::tui::ChatScreen& screen() { return *app_.chat(); }
  bool on_chat() { return app_.chat() != nullptr; }
  void send(const std::string& prompt) { screen().submit(prompt); }
  // Moves the application's clock on (answer keys count only after a moment).
  void later(double seconds) {
    now_ += std::chrono::duration_cast<termui::App::Clock::duration>(
        std::chrono::duration<double>(seconds));
  }

  // Lets the agent run and the UI thread take its messages until `done` holds (10 s at most:
  // a deadline for a hung agent, not a measure of speed).
  bool settle(const std::function<bool()>& done) { return host_test::settle(pilot, done); }
  bool shown(const std::string& text) {
    return settle([&] { return pilot.text().find(text) != std::string::npos; });
  }
  // The same, with the clock moving on so that the start-up screen looks at its check.
  bool starts_and_shows(const std::string& text) {
    return settle([&] {
      later(0.1);
      return pilot.text().find(text) != std::string::npos;
    });
  }
  bool idle() {
    return settle([&] { return !screen().busy(); });
  }
  // A row of the transcript is `text` alone (as an answer is drawn; a prompt has its marker).
  bool answered(const std::string& text) {
    const std::vector<std::string> all = rows();
    return std::find(all.begin(), all.end(), text) != all.end();
  }
  std::vector<std::string> rows() {
    std::vector<std::string> out;
    for (const std::string& row : pilot.lines()) out.push_back(trimmed(row));
    return out;
  }

 private:
  static host::tui::TuiOptions options(const std::string& folder, bool preflight,
                                       std::vector<std::string> args,
                                       std::chrono::milliseconds start_timeout,
                                       std::chrono::milliseconds cancel_grace) {
    host::tui::TuiOptions o;
    o.preflight = preflight;
    host::acp::AcpOptions acp;
    acp.command = {FAKE_ACP_AGENT};
    acp.command.insert(acp.command.end(), args.begin(), args.end());
    acp.cwd = folder;
    acp.exit_grace = 200ms;
    acp.cancel_grace = cancel_grace;
    acp.start_timeout = start_timeout;
    o.acp = acp;
    return o;
  }

  host_test::TempFolder folder_;
  termui::App::Clock::time_point now_ = termui::App::Clock::now();
  zell::ports::ZellConfig config_;
  NoStore store_;
  host::tui::VellumineTUI app_;

 public:
  termui::Pilot pilot;
};

// How many rows of the screen hold `text`.
std::size_t rows_with(AcpChat& chat, const std::string& text) {
  const std::vector<std::string> rows = chat.rows();
  return static_cast<std::size_t>(std::count_if(
      rows.begin(), rows.end(), [&](const auto& r) { return r.find(text) != std::string::npos; }));
}

TEST(AcpScreen, ThePermissionQuestionShowsTheAgentsOptionsAndANumberChoosesOne) {
  struct Case {
    std::string key;
    std::string label;   // the option's name, said in the transcript once chosen
    std::string option;  // the id the agent receives
  };
  for (const Case& c : {Case{"1", "Allow", "yes"}, Case{"2", "Reject", "no"},
                        Case{"3", "Always allow", "always"}, Case{"4", "Never", "never"}}) {
    SCOPED_TRACE(c.key);
    AcpChat chat;
    chat.send("perm");
    ASSERT_TRUE(chat.settle([&] { return chat.screen().approval_open(); }));
    ASSERT_TRUE(chat.shown("Allow Run rm?"));
    // The command whole, its escape shown rather than obeyed; allow once and reject once
    // first, the "always" options next.
    EXPECT_NE(chat.pilot.text().find("rm -rf build␛]0;owned␇"), std::string::npos);
    const std::vector<std::string> rows = chat.rows();
    const auto first = std::find(rows.begin(), rows.end(), "Press 1 to Allow");
    ASSERT_NE(first, rows.end()) << chat.pilot.text();
    EXPECT_EQ(std::vector<std::string>(first, first + 4),
              (std::vector<std::string>{"Press 1 to Allow", "Press 2 to Reject",
                                        "Press 3 to Always allow", "Press 4 to Never"}));
    EXPECT_NE(chat.screen().status().text().find("1–4 to choose"), std::string::npos);

    chat.later(1.0);
    chat.pilot.press("5");  // no such answer: typed like any other key
    EXPECT_TRUE(chat.screen().approval_open());
    EXPECT_EQ(chat.screen().input().value(), "5");
    chat.later(1.0);
    chat.pilot.press(c.key);
    EXPECT_FALSE(chat.screen().approval_open());
    EXPECT_TRUE(chat.shown(c.label + ": Run rm"));
    EXPECT_TRUE(chat.shown("permission: selected " + c.option));
    EXPECT_TRUE(chat.idle());
  }
}

TEST(AcpScreen, CtrlCCancelsTheQuestionAndTheTurn) {
  AcpChat chat;
  chat.send("perm");
  ASSERT_TRUE(chat.settle([&] { return chat.screen().approval_open(); }));
  chat.pilot.press("ctrl+c");
  EXPECT_FALSE(chat.screen().approval_open());
  EXPECT_TRUE(chat.shown("Cancelled: Run rm"));
  EXPECT_TRUE(chat.shown("permission: cancelled"));
  ASSERT_TRUE(chat.idle());

  // A turn the agent is busy with ends with the key; the agent's "cancelled" and the words it
  // sends after the cancel add nothing, and the session goes on.
  chat.send("hang");
  ASSERT_TRUE(chat.shown("waiting"));
  const std::size_t before = rows_with(chat, "Cancelled");
  chat.pilot.press("ctrl+c");
  EXPECT_EQ(rows_with(chat, "Cancelled"), before + 1) << chat.pilot.text();
  ASSERT_TRUE(chat.idle());
  EXPECT_EQ(rows_with(chat, "Cancelled"), before + 1) << chat.pilot.text();
  EXPECT_EQ(rows_with(chat, "words after the cancel"), 0u) << chat.pilot.text();
  chat.send("say still here");
  EXPECT_TRUE(chat.shown("still here"));
}

// A chat that has answered "say before" and then was sent /clear. The agent answers that
// second session/new only once the gate file exists (and refuses it when the file says so).
struct Clearing {
  explicit Clearing(std::chrono::milliseconds start_timeout = 60s)
      : chat(false, {"--renew-gate", gate().string()}, start_timeout) {
    chat.send("say before");
    EXPECT_TRUE(chat.idle());
    chat.send("/clear");
    EXPECT_TRUE(chat.screen().starting_conversation());
  }
  std::filesystem::path gate() const { return folder.path() / "gate"; }

  host_test::TempFolder folder;
  AcpChat chat;
};

// The wait is on the agent's thread: the prompt stays live, and what is sent meanwhile goes to
// the new conversation.
TEST(AcpScreen, ClearWaitsForTheNewSessionWithThePromptLive) {
  Clearing c;
  EXPECT_TRUE(c.chat.shown("Starting a new conversation…"));
  c.chat.pilot.type("say after");
  c.chat.pilot.press("enter");
  EXPECT_EQ(c.chat.screen().queued(), 1U);
  host_test::write_text(c.gate(), "");
  ASSERT_TRUE(c.chat.shown("New conversation."));
  ASSERT_TRUE(c.chat.settle([&] { return c.chat.answered("after"); }));
  EXPECT_FALSE(c.chat.answered("before"));
}

TEST(AcpScreen, CtrlCStopsWaitingForTheNewSessionAndTheOldOneGoesOn) {
  Clearing c;
  c.chat.pilot.press("ctrl+c");
  EXPECT_TRUE(
      c.chat.shown("Could not start a new conversation: stopped before the agent answered"));
  ASSERT_TRUE(c.chat.idle());
  EXPECT_TRUE(c.chat.answered("before"));
  host_test::write_text(c.gate(), "");  // the agent answers the request given up on
  c.chat.send("say still here");
  ASSERT_TRUE(c.chat.settle([&] { return c.chat.answered("still here"); }));
  EXPECT_EQ(c.chat.pilot.text().find("Interrupted"), std::string::npos);
}

// Prompts sent for a new conversation that did not start wait for the user to send them again.
TEST(AcpScreen, PromptsSentWhileTheNewSessionIsRefusedWaitForTheUser) {
  Clearing c;
  c.chat.send("say after");
  host_test::write_text(c.gate(), "refuse");
  EXPECT_TRUE(c.chat.shown(
      "Could not start a new conversation: the agent refused session/new: no more sessions"));
  ASSERT_TRUE(c.chat.idle());
  EXPECT_TRUE(c.chat.screen().holding());
  EXPECT_FALSE(c.chat.answered("after"));
  c.chat.send("");
  ASSERT_TRUE(c.chat.settle([&] { return c.chat.answered("after"); }));
}

// The agent never answers, and the chat closes without waiting for it (a wait would outlast
// the test's time limit).
TEST(AcpScreen, QuittingWhileTheAgentStartsTheNewSessionDoesNotWaitForIt) {
  Clearing c(24h);
  c.chat.send("/quit");
}

TEST(AcpScreen, ACancelTheAgentNeverConfirmsSaysSoOnItsLine) {
  AcpChat chat(false, {}, 60s, 300ms);
  chat.send("deaf");
  ASSERT_TRUE(chat.shown("not listening"));
  chat.pilot.press("ctrl+c");
  EXPECT_EQ(rows_with(chat, "Cancelled"), 1u) << chat.pilot.text();
  ASSERT_TRUE(chat.shown("Cancelled (the agent did not confirm it)"));
  EXPECT_EQ(rows_with(chat, "Cancelled"), 1u) << chat.pilot.text();
}

TEST(AcpScreen, TheUsersOwnWordsAreAUserLineAndAnUnreadableMessageAnErrorThatEndsNothing) {
  AcpChat chat;
  chat.send("user hi there");
  ASSERT_TRUE(chat.shown("echoed"));
  // Drawn as the prompt the user typed is drawn.
  const std::vector<std::string> rows = chat.rows();
  const auto typed = std::find_if(rows.begin(), rows.end(), [](const std::string& r) {
    return r.find("user hi there") != std::string::npos;
  });
  ASSERT_NE(typed, rows.end());
  const std::string echoed = typed->substr(0, typed->find("user hi there")) + "hi there";
  EXPECT_NE(std::find(typed + 1, rows.end(), echoed), rows.end()) << chat.pilot.text();
  ASSERT_TRUE(chat.idle());

  chat.send("malformed");
  EXPECT_TRUE(chat.shown("the agent sent a line that is not JSON: this is not json"));
  EXPECT_TRUE(chat.shown("still here"));
  ASSERT_TRUE(chat.idle());
  chat.send("say and on");
  EXPECT_TRUE(chat.shown("and on"));
}

TEST(AcpScreen, TheStartUpScreenStartsTheAgentAndTheChatUsesIt) {
  AcpChat chat(true);
  ASSERT_TRUE(chat.starts_and_shows("fake-agent 1.2.3 is ready.")) << chat.pilot.text();
  chat.pilot.press("1");
  ASSERT_TRUE(chat.on_chat());
  chat.send("say hello");
  EXPECT_TRUE(chat.shown("hello"));
}

TEST(AcpScreen, TheStartUpScreenShowsWhyTheAgentDidNotStartAndTriesAgain) {
  AcpChat chat(true, {"--stderr", "warming the cache", "--version", "2"});
  ASSERT_TRUE(chat.starts_and_shows("The agent did not start"));
  EXPECT_TRUE(chat.shown("warming the cache"));
  chat.pilot.press("1");  // again, and again it fails
  EXPECT_TRUE(chat.shown("The chat opens once the agent is ready"));
  ASSERT_TRUE(chat.starts_and_shows("The agent did not start"));
  EXPECT_FALSE(chat.on_chat());
  chat.pilot.press("q");
}

TEST(AcpScreen, EachToolCallIsOneItemThatChangesInPlace) {
  AcpChat chat;
  chat.send("tools");
  ASSERT_TRUE(chat.shown("tools done"));
  ASSERT_TRUE(chat.idle());
  // The call that started empty is drawn once it has a title, and once only, with its end.
  EXPECT_EQ(rows_with(chat, "Read notes.txt"), 1u) << chat.pilot.text();
  EXPECT_EQ(rows_with(chat, "✓ Read(Read notes.txt)"), 1u) << chat.pilot.text();
  EXPECT_EQ(rows_with(chat, "line one"), 1u);
  EXPECT_EQ(rows_with(chat, "✗ Search(grep TODO)"), 1u) << chat.pilot.text();
  EXPECT_EQ(rows_with(chat, "grep: bad pattern"), 1u);
  EXPECT_EQ(rows_with(chat, "✓ Bash(Run tests)"), 1u);
  EXPECT_EQ(rows_with(chat, "all tests passed"), 1u);
  EXPECT_EQ(rows_with(chat, "running"), 0u);
}

TEST(AcpScreen, AWriteTheEditCallShowsIsDrawnOnceAndAnotherAsItsOwnDiff) {
  AcpChat chat;
  chat.send("edit made.txt fresh");
  ASSERT_TRUE(chat.shown("edited"));
  ASSERT_TRUE(chat.idle());
  EXPECT_EQ(rows_with(chat, "+ fresh"), 1u) << chat.pilot.text();

  chat.send("edit made.txt again other");
  ASSERT_TRUE(chat.settle([&] { return rows_with(chat, "edited") == 2; }));
  ASSERT_TRUE(chat.idle());
  EXPECT_EQ(rows_with(chat, "+ again"), 1u) << chat.pilot.text();
  EXPECT_EQ(rows_with(chat, "+ other"), 1u) << chat.pilot.text();
}

TEST(AcpScreen, ThePlanIsOneBlockThatMovesOn) {
  AcpChat chat;
  chat.send("plan");
  ASSERT_TRUE(chat.idle());
  EXPECT_EQ(rows_with(chat, "Plan"), 1u) << chat.pilot.text();
  EXPECT_EQ(rows_with(chat, "Read the code"), 1u);
  const std::vector<std::string> rows = chat.rows();
  const auto plan = std::find(rows.begin(), rows.end(), "▸ Plan");
  ASSERT_NE(plan, rows.end()) << chat.pilot.text();
  EXPECT_EQ(std::vector<std::string>(plan + 1, plan + 4),
            (std::vector<std::string>{"✓ Read the code  (high priority)", "▸ Fix the bug",
                                      "○ Write a test"}));
}

TEST(AcpScreen, ARunningCommandsOutputShowsAsItComes) {
  AcpChat chat;
  // Echoes of sums, so that only the command's output holds the numbers.
  chat.send("watch echo out-$((40+2)); sleep 1; echo out-$((50+5)); sleep 30");
  ASSERT_TRUE(chat.shown("out-42"));
  EXPECT_EQ(rows_with(chat, "● Bash(Watch) · running"), 1u) << chat.pilot.text();
  ASSERT_TRUE(chat.shown("out-55"));
  EXPECT_EQ(rows_with(chat, "out-42"), 1u) << chat.pilot.text();
  chat.pilot.press("ctrl+c");
  ASSERT_TRUE(chat.idle());
  EXPECT_EQ(rows_with(chat, "✗ Bash(Watch)"), 1u) << chat.pilot.text();
  // The output of the stopped command keeps its rows under the header.
  const std::vector<std::string> rows = chat.rows();
  const auto header = std::find(rows.begin(), rows.end(), "✗ Bash(Watch)");
  ASSERT_NE(header, rows.end());
  EXPECT_EQ(std::vector<std::string>(header + 1, header + 3),
            (std::vector<std::string>{"│ out-42", "│ out-55"}));
  EXPECT_EQ(rows_with(chat, "running"), 0u);
}

}  // namespace
