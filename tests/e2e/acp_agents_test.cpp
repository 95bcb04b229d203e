// Agents drive the real `vellumine` in both presentations: the project's scripted agent reads a
// file, asks to edit it (the diff shown, the edit allowed and written through the client),
// asks to run a command (denied, and its reply says so) and sends text full of terminal
// escapes, which are shown and never obeyed; the protocol SDK's example agent reports a read
// and asks to edit (it runs no command). After each run no agent process is left.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "acp_app.h"

namespace {

namespace fs = std::filesystem;
using test_support::AgentApp;
using test_support::run;
using test_support::TmuxPane;

const fs::path kSdkExample =
    fs::path(VELLUMINE_SOURCE_DIR) /
    "build/npm/node_modules/@agentclientprotocol/sdk/dist/examples/agent.js";

// The escapes of the scripted agent's last sentence as the app shows them.
const char* const kShownEscapes[] = {"␛]52;c;b3duZWQ=␇", "␛[2J",
                                     "␛]8;;https://example.com␇link␛]8;;␇"};

class AgentsDriveVellumine : public ::testing::Test {
 protected:
  void SetUp() override {
    if (run("command -v tmux").empty()) GTEST_SKIP() << "tmux is not installed";
  }
  static bool have_sdk_example() {
    return !run("command -v node").empty() && fs::exists(kSdkExample);
  }
  static std::vector<std::string> scripted(const AgentApp& app) {
    return {FAKE_ACP_AGENT, "--stderr", app.marker()};
  }
  static std::vector<std::string> sdk_example(const AgentApp& app) {
    return {"node", kSdkExample.string(), app.marker()};  // the example ignores its arguments
  }

  // What the scripted agent's turn must have left, whichever presentation showed it.
  static void expect_chores_outcome(const AgentApp& app, const std::string& shown) {
    EXPECT_EQ(app.file("notes.txt"), "goodbye world\n");
    EXPECT_FALSE(fs::exists(app.dir() / "ran.txt"));
    EXPECT_NE(shown.find("edit: written."), std::string::npos) << shown;
    EXPECT_NE(shown.find("command refused (no)."), std::string::npos) << shown;
    for (const char* escape : kShownEscapes)
      EXPECT_NE(shown.find(escape), std::string::npos) << shown;
    EXPECT_EQ(app.agents(), "");
  }
};

TEST_F(AgentsDriveVellumine, ScriptedAgentOnTheFullScreen) {
  AgentApp app("acp-scripted");
  std::ofstream(app.dir() / "notes.txt") << "hello world\n";
  app.start(scripted(app), "--no-preflight");
  app.pane->command("set -g set-clipboard on");  // so that an obeyed OSC 52 would fill a buffer
  ASSERT_TRUE(app.pane->wait_for("Type a prompt")) << app.pane->text();
  app.pane->type("chores notes.txt", true);

  ASSERT_TRUE(app.wait_for_question("Allow Edit notes.txt?")) << app.pane->text();
  EXPECT_NE(app.pane->text().find("+goodbye world"), std::string::npos) << app.pane->text();
  EXPECT_EQ(app.file("notes.txt"), "hello world\n");  // nothing written before the answer
  app.pane->type("1");
  ASSERT_TRUE(app.wait_for_question("Allow Run touch ran.txt?")) << app.pane->text();
  app.pane->type("2");
  ASSERT_TRUE(app.pane->wait_for(" end.")) << app.pane->text();
  const std::string shown = app.pane->text();
  EXPECT_NE(shown.find("⎿ hello world"), std::string::npos) << shown;  // the read's result
  EXPECT_EQ(app.pane->command("list-buffers"), "");
  EXPECT_NE(app.pane->title(), "owned\n");

  app.pane->key("C-c");
  ASSERT_TRUE(app.pane->wait_for("EXIT=0")) << app.pane->text();
  expect_chores_outcome(app, shown);
}

// Standard output a file, the questions asked on the terminal: the file holds the turn, the
// questions and their answers, and not one escape the agent sent.
TEST_F(AgentsDriveVellumine, ScriptedAgentInThePlainPresentation) {
  AgentApp app("acp-scripted-plain");
  std::ofstream(app.dir() / "notes.txt") << "hello world\n";
  app.start(scripted(app), "--plain --prompt 'chores notes.txt'", "", "> out.txt");
  ASSERT_TRUE(app.wait_for_question("Choice:")) << app.pane->text();
  EXPECT_NE(app.pane->text().find("+goodbye world"), std::string::npos) << app.pane->text();
  app.pane->type("1", true);
  ASSERT_TRUE(app.wait_for_question("Choice:", 2)) << app.pane->text();
  EXPECT_NE(app.pane->text().find("touch ran.txt"), std::string::npos) << app.pane->text();
  app.pane->type("2", true);
  ASSERT_TRUE(app.pane->wait_for("EXIT=")) << app.pane->text();
  EXPECT_NE(app.pane->text().find("EXIT=0"), std::string::npos) << app.pane->text();

  const std::string out = app.file("out.txt");
  EXPECT_NE(out.find("└ hello world"), std::string::npos) << out;
  // Once allowed, the edit's diff is shown once: the client's write of the same change is not
  // shown again.
  const std::size_t allowed = out.find("Choice: 1");
  ASSERT_NE(allowed, std::string::npos) << out;
  const std::size_t diff_at = out.find("+goodbye world", allowed);
  EXPECT_NE(diff_at, std::string::npos) << out;
  EXPECT_EQ(out.find("+goodbye world", diff_at + 1), std::string::npos) << out;
  EXPECT_EQ(out.find("\x1b]"), std::string::npos) << out;
  EXPECT_EQ(out.find("\x1b[2J"), std::string::npos) << out;
  EXPECT_EQ(out.find("fake_acp_agent"), std::string::npos) << out;  // its stderr stays out
  expect_chores_outcome(app, out);
}

TEST_F(AgentsDriveVellumine, SdkExampleAgentOnTheFullScreen) {
  if (!have_sdk_example()) GTEST_SKIP() << "needs node and scripts/install-deps: " << kSdkExample;
  AgentApp app("acp-sdk");
  app.start(sdk_example(app), "--no-preflight");
  ASSERT_TRUE(app.pane->wait_for("Type a prompt")) << app.pane->text();
  app.pane->type("change the configuration", true);

  ASSERT_TRUE(app.wait_for_question("Allow Modifying critical configuration file?"))
      << app.pane->text();
  app.pane->type("1");
  ASSERT_TRUE(app.pane->wait_for("Read, Update")) << app.pane->text();  // the turn's summary
  const std::string shown = app.pane->text();
  EXPECT_NE(shown.find("Reading project files"), std::string::npos) << shown;
  EXPECT_NE(shown.find("# My Project"), std::string::npos) << shown;
  EXPECT_NE(shown.find("successfully updated the configuration"), std::string::npos) << shown;
  EXPECT_EQ(shown.find("Error"), std::string::npos) << shown;

  app.pane->key("C-c");
  ASSERT_TRUE(app.pane->wait_for("EXIT=0")) << app.pane->text();
  EXPECT_EQ(app.agents(), "");
}

TEST_F(AgentsDriveVellumine, SdkExampleAgentInThePlainPresentation) {
  if (!have_sdk_example()) GTEST_SKIP() << "needs node and scripts/install-deps: " << kSdkExample;
  AgentApp app("acp-sdk-plain");
  app.start(sdk_example(app), "--plain --prompt 'change the configuration'", "", "> out.txt");
  ASSERT_TRUE(app.wait_for_question("Choice:")) << app.pane->text();
  EXPECT_NE(app.pane->text().find("Modifying critical configuration file"), std::string::npos)
      << app.pane->text();
  app.pane->type("2", true);
  ASSERT_TRUE(app.pane->wait_for("EXIT=")) << app.pane->text();
  EXPECT_NE(app.pane->text().find("EXIT=0"), std::string::npos) << app.pane->text();

  const std::string out = app.file("out.txt");
  EXPECT_NE(out.find("Reading project files"), std::string::npos) << out;
  // (Standard output not a terminal, answers break at 80 columns: phrases short enough.)
  EXPECT_NE(out.find("you prefer not to make that change"), std::string::npos) << out;
  EXPECT_EQ(out.find("successfully updated"), std::string::npos) << out;
  EXPECT_EQ(out.find("Error"), std::string::npos) << out;
  EXPECT_EQ(out.find("\x1b]"), std::string::npos) << out;
  EXPECT_EQ(app.agents(), "");
}

}  // namespace
