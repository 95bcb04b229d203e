// The ACP client driving the project's scripted agent (a real child process): what each kind
// of update shows through the output manager's events, permissions, the services it offers,
// cancels, crashes, and that no agent process is left behind.

#include "host/acp/acp_agent.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <thread>

#include "host/acp/null_writer.h"
#include "host/acp/process_alive.h"
#include "host/temp_folder.h"

namespace {

using namespace host::acp;
using namespace std::chrono_literals;

using acp_test::NullWriter;

// The agent with an output manager whose events are recorded as "type:key=value" lines.
class Session {
 public:
  explicit Session(std::vector<std::string> extra_args = {}, PermissionAsker asker = {},
                   std::chrono::milliseconds cancel_grace = 10s)
      : manager_(ports()) {
    host_test::write_text(folder_.path() / "notes.txt", "hello\n");
    manager_.set_event_callback([this](const std::string& type, std::shared_ptr<zell::Payload> p) {
      const std::lock_guard lock(mutex_);
      if (type == "content") answer_ += p->get("chunk");
      std::string line = type;
      for (const auto& [key, value] : *p) line += " " + key + "=" + value;
      events_.push_back(line);
    });
    AcpOptions options;
    options.command = {FAKE_ACP_AGENT};
    options.command.insert(options.command.end(), extra_args.begin(), extra_args.end());
    options.cwd = folder_.path().string();
    options.exit_grace = 200ms;
    options.cancel_grace = cancel_grace;
    agent_ = std::make_unique<AcpAgent>(manager_, options, std::move(asker));
  }

  AcpAgent& agent() { return *agent_; }
  [[nodiscard]] const std::filesystem::path& folder() const { return folder_.path(); }

  TurnResult turn(const std::string& prompt) {
    {
      const std::lock_guard lock(mutex_);
      events_.clear();
      answer_.clear();
    }
    return agent_->run_turn(prompt);
  }
  // The answer's text, as its content events carried it.
  [[nodiscard]] std::string answer() const {
    const std::lock_guard lock(mutex_);
    return answer_;
  }
  [[nodiscard]] std::vector<std::string> events() const {
    const std::lock_guard lock(mutex_);
    return events_;
  }
  // Whether the events hold each of `parts` in order (each part within one event; parts may
  // share an event).
  [[nodiscard]] testing::AssertionResult shows(const std::vector<std::string>& parts) const {
    const std::vector<std::string> all = events();
    std::size_t at = 0;
    for (const std::string& part : parts) {
      while (at < all.size() && all[at].find(part) == std::string::npos) ++at;
      if (at == all.size()) {
        std::string list;
        for (const std::string& e : all) list += "\n  " + e;
        return testing::AssertionFailure() << "missing, in order: " << part << list;
      }
    }
    return testing::AssertionSuccess();
  }

 private:
  static zell::output::OutputPorts ports() {
    zell::output::OutputPorts p;
    p.out = std::make_shared<NullWriter>();
    p.frame_period = std::chrono::hours(1);
    return p;
  }

  host_test::TempFolder folder_;
  zell::output::OutputManager manager_;
  mutable std::mutex mutex_;
  std::vector<std::string> events_;
  std::string answer_;
  std::unique_ptr<AcpAgent> agent_;
};

struct SceneCase {
  std::string prompt;
  TurnEnd end;
  std::vector<std::string> shown;  // in order
};

class Scenes : public testing::TestWithParam<SceneCase> {};

TEST_P(Scenes, ShowWhatTheAgentSent) {
  Session s;
  const TurnResult r = s.turn(GetParam().prompt);
  EXPECT_EQ(r.end, GetParam().end) << r.reason;
  EXPECT_TRUE(s.shows(GetParam().shown));
}

INSTANTIATE_TEST_SUITE_P(
    Updates, Scenes,
    testing::Values(
        SceneCase{"say Hello *world*", TurnEnd::done, {"content chunk=Hello *world*", "done"}},
        SceneCase{"think deep thoughts",
                  TurnEnd::done,
                  {"thinking_done text=deep thoughts", "content chunk=thought about it"}},
        SceneCase{"tools",
                  TurnEnd::done,
                  {"tool_start name=read_file args=Read notes.txt",
                   "tool_result error=false index=0 result=line one\nline two",
                   "tool_start name=grep args=grep TODO",
                   "tool_result error=true index=1 result=grep: bad pattern",
                   "tool_start name=bash args=Run tests", "result=all tests passed",
                   "content chunk=tools done", "done"}},
        SceneCase{"plan",
                  TurnEnd::done,
                  {"tool_start name=Plan",
                   "result=✓ Read the code (high priority)\n▸ Fix the bug\n○ Write a test"}},
        SceneCase{"diff notes.txt",
                  TurnEnd::done,
                  {"tool_start name=edit_file args=Edit notes.txt",
                   "result=--- notes.txt\n+++ notes.txt\n@@ -1,3 +1,3 @@\n alpha\n-beta\n+BETA\n "
                   "gamma",
                   "result=--- /dev/null\n+++ new.txt\n@@ -1,0 +1,1 @@\n+fresh"}},
        SceneCase{"user hi there", TurnEnd::done, {"user_message text=hi there", "content"}},
        SceneCase{"usage 1234", TurnEnd::done, {"content chunk=counted", "done"}},
        SceneCase{"unknown", TurnEnd::done, {"content chunk=unknown: -32601"}},
        SceneCase{"malformed",
                  TurnEnd::done,
                  {"problem message=the agent sent a line that is not JSON: this is not json",
                   "problem message=the agent sent a JSON object that is neither",
                   "problem message=the agent sent a JSON value that is not a message",
                   "content chunk=still here", "done"}},
        SceneCase{"stop max_tokens",
                  TurnEnd::error,
                  {"content chunk=stopping",
                   "error message=The agent stopped: it reached its token limit"}},
        SceneCase{"stop max_turn_requests",
                  TurnEnd::error,
                  {"error message=The agent stopped: it reached its limit of model requests"}},
        SceneCase{"stop refusal", TurnEnd::error, {"error message=The agent refused to continue"}},
        SceneCase{"late", TurnEnd::done, {"content chunk=after the result", "done"}},
        SceneCase{"id-string", TurnEnd::done, {"content chunk=string id: \"hello\\n\""}},
        SceneCase{"read notes.txt 1 1", TurnEnd::done, {"content chunk=read: \"hello\\n\""}},
        SceneCase{"read ../notes.txt",
                  TurnEnd::done,
                  {"content chunk=read: error: ../notes.txt: paths with \"..\" are refused"}},
        SceneCase{"read /etc/passwd",
                  TurnEnd::done,
                  {"content chunk=read: error: /etc/passwd is outside the session's folder"}},
        SceneCase{"write sub/out.txt two words",
                  TurnEnd::done,
                  {"tool_start name=write_file args=sub/out.txt",
                   "result=--- /dev/null\n+++ sub/out.txt\n@@ -1,0 +1,1 @@\n+two words",
                   "content chunk=written"}},
        SceneCase{"term seq 1 40",
                  TurnEnd::done,
                  {"tool_start name=bash args=Run seq", "result=\n20\n21\n",
                   "exit: {\"exitCode\":0,\"signal\":null}", "\"truncated\":true",
                   "after release: error: terminal term-1 was released"}},
        SceneCase{"term no-such-program-anywhere",
                  TurnEnd::done,
                  {"content chunk=error: no-such-program-anywhere: command not found"}}));

// A file the agent writes through the client is shown as a diff unless its edit call shows the
// same change already; the count is of events holding each added line.
TEST(AcpAgent, AWriteTheEditCallShowsIsNotShownAgain) {
  struct Case {
    std::string prompt;
    std::vector<std::pair<std::string, std::size_t>> lines;  // an added line, events showing it
    std::size_t write_entries;
  };
  for (const Case& c : {Case{"edit notes.txt bye", {{"+bye", 1}}, 0},
                        Case{"edit made.txt fresh", {{"+fresh", 1}}, 0},
                        Case{"edit notes.txt bye other", {{"+bye", 1}, {"+other", 1}}, 1},
                        Case{"edit made.txt fresh other", {{"+fresh", 1}, {"+other", 1}}, 1},
                        // The call's diff holds only the edited line, the write the whole file.
                        Case{"edit-part long.txt ONE", {{"+ONE", 1}}, 0},
                        Case{"edit-part long.txt ONE other", {{"+ONE", 1}, {"+other", 1}}, 1}}) {
    SCOPED_TRACE(c.prompt);
    Session s;
    host_test::write_text(s.folder() / "long.txt", "one\ntwo\nthree\n");
    ASSERT_EQ(s.turn(c.prompt).end, TurnEnd::done);
    const std::vector<std::string> events = s.events();
    const auto count = [&](const std::string& part, std::string_view type = "") {
      return static_cast<std::size_t>(std::count_if(events.begin(), events.end(), [&](auto& e) {
        return e.starts_with(type) && e.find(part) != std::string::npos;
      }));
    };
    for (const auto& [line, times] : c.lines) EXPECT_EQ(count(line), times) << line;
    EXPECT_EQ(count("tool_start name=edit_file args=Edit "), 1u);
    const std::size_t from = c.prompt.find(' ') + 1;
    const std::string path = c.prompt.substr(from, c.prompt.find(' ', from) - from);
    EXPECT_EQ(count("_file args=" + path, "tool_start "), c.write_entries);
  }
}

TEST(AcpAgent, ABurstOfChunksArrivesWholeAndInOrder) {
  // Chunks that queue up while the client is busy are shown together: none lost, none twice.
  Session s;
  ASSERT_EQ(s.turn("burst 5000").end, TurnEnd::done);
  std::string sent;
  for (int i = 0; i < 5000; ++i) sent.append("c").append(std::to_string(i)).append(" ");
  EXPECT_EQ(s.answer(), sent);
}

TEST(AcpAgent, AsksPermissionWithNumberedOptionsAndTheWholeCommand) {
  std::vector<PermissionQuestion> asked;
  Session s({}, [&](const PermissionQuestion& q) -> std::optional<std::string> {
    asked.push_back(q);
    return q.options[2].id;  // the user pressed 3
  });
  ASSERT_EQ(s.turn("perm").end, TurnEnd::done);
  ASSERT_EQ(asked.size(), 1u);
  std::vector<std::string> ids;
  for (const PermissionOption& o : asked[0].options) ids.push_back(o.id);
  EXPECT_EQ(ids, (std::vector<std::string>{"yes", "no", "always", "never"}));
  EXPECT_EQ(asked[0].title, "Run rm");
  EXPECT_EQ(asked[0].detail, "rm -rf build\x1b]0;owned\x07");  // whole; the prompt escapes it
  // The call the agent never announced gets its header from the request.
  EXPECT_TRUE(
      s.shows({"tool_start name=bash args=Run rm", "content chunk=permission: selected always"}));
}

TEST(AcpAgent, APermissionAnsweredAfterACancelIsCancelled) {
  AcpAgent* agent = nullptr;
  Session s({}, [&](const PermissionQuestion& q) -> std::optional<std::string> {
    agent->cancel();  // Ctrl+C while the question is open
    return q.options[0].id;
  });
  agent = &s.agent();
  s.turn("perm");
  // Told on the tool call: the answer of a cancelled turn is not shown.
  EXPECT_TRUE(s.shows({"tool_result", "permission: cancelled"}));
  EXPECT_FALSE(s.shows({"content chunk=permission"}));
}

TEST(AcpAgent, WithoutAnAskerTheApprovalHookDecides) {
  Session s;
  ASSERT_EQ(s.turn("perm").end, TurnEnd::done);
  EXPECT_TRUE(s.shows({"content chunk=permission: selected no"}));  // no hook: reject once
}

long error_lines(const Session& s) {
  const std::vector<std::string> events = s.events();
  return std::count_if(events.begin(), events.end(),
                       [](const std::string& e) { return e.starts_with("error"); });
}

TEST(AcpAgent, CancelEndsTheTurnWithTheAgentsCancelled) {
  Session s;
  TurnResult result;
  std::thread turn([&] { result = s.turn("hang"); });
  while (!s.shows({"content chunk=waiting"})) std::this_thread::sleep_for(1ms);
  EXPECT_TRUE(s.agent().cancel());
  EXPECT_FALSE(s.agent().cancel());  // sent once
  turn.join();
  EXPECT_EQ(result.end, TurnEnd::interrupted);
  // Said once, and what the agent streamed after the cancel is not shown.
  EXPECT_EQ(error_lines(s), 1);
  EXPECT_TRUE(s.shows({"error message=Cancelled"}));
  EXPECT_FALSE(s.shows({"words after the cancel"}));
  EXPECT_EQ(s.turn("say again").end, TurnEnd::done);  // the session goes on
}

TEST(AcpAgent, ACancelIsShownBeforeTheAgentConfirmsIt) {
  Session s;  // the agent has ten seconds to confirm
  std::atomic<bool> over{false};
  std::thread turn([&] {
    s.turn("deaf");
    over = true;
  });
  while (!s.shows({"content chunk=not listening"})) std::this_thread::sleep_for(1ms);
  ASSERT_TRUE(s.agent().cancel());
  while (!s.shows({"error message=Cancelled"})) std::this_thread::sleep_for(1ms);
  EXPECT_FALSE(over);  // still waiting for the agent's word
  s.agent().abandon();
  turn.join();
  EXPECT_EQ(error_lines(s), 1);  // abandoned quietly
}

TEST(AcpAgent, ACancelTheAgentNeverConfirmsEndsTheTurnAfterTheGrace) {
  Session s({}, {}, 50ms);
  TurnResult result;
  std::thread turn([&] { result = s.turn("deaf"); });
  while (!s.shows({"content chunk=not listening"})) std::this_thread::sleep_for(1ms);
  EXPECT_TRUE(s.agent().cancel());
  turn.join();
  EXPECT_EQ(result.end, TurnEnd::interrupted);
  EXPECT_TRUE(s.shows({"error message=Cancelled (the agent did not confirm it)"}));
}

TEST(AcpAgent, ACrashEndsTheTurnWithItsStatusAndLastWords) {
  Session s;
  const TurnResult r = s.turn("crash");
  EXPECT_EQ(r.end, TurnEnd::error);
  EXPECT_NE(r.reason.find("the agent exited (exit status 3)"), std::string::npos) << r.reason;
  EXPECT_NE(r.reason.find("fatal: the fake agent crashed on purpose"), std::string::npos);
  EXPECT_EQ(s.turn("say more").end, TurnEnd::error);
}

TEST(AcpAgent, StartFailuresSayWhy) {
  struct Case {
    std::vector<std::string> args;
    std::string reason;
  };
  for (const Case& c : {Case{{"--version", "2"}, "the agent speaks protocol version 2"},
                        Case{{"--stderr", "starting up"}, ""}}) {
    Session s(c.args);
    if (c.reason.empty()) {
      EXPECT_NO_THROW(s.agent().start());
      EXPECT_EQ(s.agent().info().name, "fake-agent");
      EXPECT_EQ(s.agent().info().version, "1.2.3");
      // The agent wrote the line before it answered; the reader thread may still be on its way.
      for (int i = 0; i < 500 && s.agent().stderr_lines().empty(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      EXPECT_EQ(s.agent().stderr_lines(), std::vector<std::string>{"starting up"});
    } else {
      try {
        s.agent().start();
        ADD_FAILURE() << "started";
      } catch (const AcpError& e) {
        EXPECT_NE(std::string(e.what()).find(c.reason), std::string::npos) << e.what();
      }
    }
  }
  zell::output::OutputManager manager;
  AcpOptions missing;
  missing.command = {"no-such-agent-anywhere"};
  AcpAgent agent(manager, missing);
  EXPECT_THROW(agent.start(), AcpError);
}

TEST(AcpAgent, AnAgentThatIgnoresEndOfInputAndSigtermIsStillEnded) {
  Session s({"--ignore-eof", "--ignore-term"});
  s.agent().start();
  const int pid = s.agent().pid();
  ASSERT_TRUE(host_test::process_alive(pid));
  s.agent().stop();
  EXPECT_FALSE(host_test::process_alive(pid));
}

}  // namespace
