// The life of an Agent Client Protocol agent around the real `vellumine`, in tmux, with the
// project's scripted agent: leaving while the agent never answers `initialize` (q on the
// start-up screen, Ctrl+C twice in the chat, closing the plain chat's input) ends the app
// and leaves no agent process; and the plain chat's Ctrl+C ends the turn once, without the
// words the agent still sends, and cancels a question open on the terminal.

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tmux_pane.h"

namespace {

namespace fs = std::filesystem;
using test_support::run;
using test_support::TmuxPane;

// vellumine with the scripted agent in a tmux pane of its own, in a folder of its own.
class AgentInPane {
 public:
  AgentInPane() {
    static int runs = 0;
    const std::string name =
        "vellumine-acp-life-" + std::to_string(::getpid()) + "-" + std::to_string(++runs);
    marker_ = name + "-agent";
    dir_ = fs::temp_directory_path() / name;
    fs::create_directories(dir_);
    pane.emplace(name);
  }
  ~AgentInPane() {
    pane.reset();
    fs::remove_all(dir_);
  }
  AgentInPane(const AgentInPane&) = delete;
  AgentInPane& operator=(const AgentInPane&) = delete;

  // Runs `before vellumine ARGS` in the pane, its agent the scripted one with `agent_args`
  // and the run's marker on its command line (named in the configuration, so that only the
  // agent's command line holds it).
  void start(const std::string& before, const std::string& args,
             const std::vector<std::string>& agent_args = {}) const {
    std::ofstream config(dir_ / "config.toml");
    config << "[agent]\ncommand = [\"" << FAKE_ACP_AGENT << "\", \"--stderr\", \"" << marker_
           << "\"";
    for (const std::string& a : agent_args) config << ", \"" << a << "\"";
    config << "]\n";
    config.close();
    pane->start("cd " + dir_.string() + " && " + before + VELLUMINE_BIN + " --config " +
                (dir_ / "config.toml").string() + " " + args + "; echo EXIT=$?");
  }
  // A file that holds the agent in `initialize` while it exists.
  [[nodiscard]] std::vector<std::string> hang_in_initialize() const {
    std::ofstream(dir_ / "hang");
    return {"--hang-initialize-while", (dir_ / "hang").string()};
  }
  void let_initialize_go() const { fs::remove(dir_ / "hang"); }
  // The agent processes of this run still running (a pattern pgrep's own shell misses).
  [[nodiscard]] std::string agents() const {
    return run("pgrep -f '[" + marker_.substr(0, 1) + "]" + marker_.substr(1) + "'");
  }
  // Waits (10 s at most, a hang guard) for the agent to run.
  [[nodiscard]] bool agent_started() const {
    for (int i = 0; i < 400 && agents().empty(); ++i) {
      std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    return !agents().empty();
  }

  std::optional<TmuxPane> pane;

 private:
  std::string marker_;
  fs::path dir_;
};

bool have_tmux() {
  return !run("command -v tmux").empty();
}

TEST(AgentLifecycle, QuittingWhileTheAgentHangsInInitializeLeavesNoAgent) {
  if (!have_tmux()) GTEST_SKIP() << "tmux is not installed";
  struct Case {
    std::string name;
    std::string before;  // what runs in front of vellumine in the pane
    std::string args;
    std::string ready;  // on screen once the app waits for the agent
    std::vector<std::string> keys;
  };
  const Case cases[] = {
      {"q on the start-up screen", "", "", "", {"q"}},
      {"Ctrl+C twice in the chat", "", "--no-preflight", "Type a prompt", {"C-c", "C-c"}},
      {"the plain chat's input closed", "cat | ", "--plain", "", {"C-d"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    AgentInPane app;
    app.start(c.before, c.args, app.hang_in_initialize());
    if (!c.ready.empty()) {
      ASSERT_TRUE(app.pane->wait_for(c.ready)) << app.pane->text();
      app.pane->type("say hello", true);  // the first turn starts the agent
    }
    ASSERT_TRUE(app.agent_started()) << app.pane->text();
    for (const std::string& key : c.keys) app.pane->key(key);
    // Well before the agent's start would time out (a minute).
    ASSERT_TRUE(app.pane->wait_for("EXIT=", std::chrono::seconds(20))) << app.pane->text();
    EXPECT_NE(app.pane->text().find("EXIT=0"), std::string::npos) << app.pane->text();
    EXPECT_EQ(app.agents(), "") << app.pane->text();
  }
}

TEST(AgentLifecycle, AStartStoppedByCtrlCIsTriedAgainByTheNextPrompt) {
  if (!have_tmux()) GTEST_SKIP() << "tmux is not installed";
  AgentInPane app;
  app.start("", "--no-preflight", app.hang_in_initialize());
  ASSERT_TRUE(app.pane->wait_for("Type a prompt")) << app.pane->text();
  app.pane->type("say hello", true);
  ASSERT_TRUE(app.agent_started()) << app.pane->text();
  app.pane->key("C-c");
  ASSERT_TRUE(app.pane->wait_for("stopped while starting")) << app.pane->text();
  app.let_initialize_go();
  app.pane->type("say again", true);
  ASSERT_TRUE(app.pane->wait_for("again", std::chrono::seconds(20), false, 2)) << app.pane->text();
  EXPECT_EQ(app.pane->text().find("Interrupted"), std::string::npos) << app.pane->text();
}

TEST(AgentLifecycle, CtrlCInThePlainChatEndsTheTurnOnceAndTheChatGoesOn) {
  if (!have_tmux()) GTEST_SKIP() << "tmux is not installed";
  AgentInPane app;
  app.start("", "--plain");
  const std::optional<TmuxPane>& pane_ = app.pane;
  ASSERT_TRUE(app.agent_started()) << pane_->text();
  pane_->type("hang", true);
  ASSERT_TRUE(pane_->wait_for("waiting")) << pane_->text();
  pane_->key("C-c");
  ASSERT_TRUE(pane_->wait_for("Cancelled")) << pane_->text();
  pane_->type("say still here", true);
  ASSERT_TRUE(pane_->wait_for("still here", std::chrono::seconds(20), false, 2)) << pane_->text();
  const std::string shown = pane_->text(true);
  EXPECT_EQ(TmuxPane::count(shown, "Cancelled"), 1) << shown;
  EXPECT_EQ(shown.find("words after the cancel"), std::string::npos) << shown;

  // A question open on the terminal is cancelled with the turn, and the agent told so.
  pane_->type("perm", true);
  ASSERT_TRUE(pane_->wait_for("Choice:")) << pane_->text();
  pane_->key("C-c");
  ASSERT_TRUE(pane_->wait_for("permission: cancelled")) << pane_->text();
  EXPECT_EQ(TmuxPane::count(pane_->text(true), "Cancelled"), 2) << pane_->text(true);
}

}  // namespace
