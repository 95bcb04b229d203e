// The prompt of `vellumine` as a person types it in a real terminal (tmux with extended keys,
// so that Shift+Enter is told from Enter), talking to the project's scripted ACP agent: a
// three-line prompt, recalled with Up after a restart, a 500-line paste sent whole, "/he" and
// "@src/ma" completed, the prompt edited in $EDITOR; and the plain chat's line editor.

#include <gtest/gtest.h>

#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>

#include "tmux_pane.h"

namespace {

namespace fs = std::filesystem;

using test_support::run;

class PromptInTmux : public ::testing::Test {
 protected:
  void SetUp() override {
    if (run("command -v tmux").empty()) GTEST_SKIP() << "tmux is not installed";
    static int tests_run = 0;
    server_ = "vellumine-prompt-" + std::to_string(::getpid()) + "-" + std::to_string(++tests_run);
    dir_ = fs::temp_directory_path() / server_;
    fs::remove_all(dir_);
    fs::create_directories(dir_ / "work" / "src");
    std::ofstream(dir_ / "work" / "src" / "main.cpp") << "int main() {}\n";
    std::ofstream(dir_ / "tmux.conf") << "set -g extended-keys on\n";
    // The editor turns "draft" into "edited" in the file it is given.
    std::ofstream(dir_ / "editor.sh") << "#!/bin/sh\nsed -i 's/draft/edited/' \"$1\"\n";
    fs::permissions(dir_ / "editor.sh", fs::perms::owner_all);
  }
  void TearDown() override {
    pane_.reset();
    fs::remove_all(dir_);
  }

  // `vellumine ARGS` with the scripted agent, on a tmux server named `server`.
  void start(const std::string& server, const std::string& args) {
    pane_.reset();  // a server of its own for each run: the last one may be on its way out
    pane_.emplace(server, test_support::PaneOptions{.config_file = (dir_ / "tmux.conf").string(),
                                                    .join_wrapped = false});
    pane_->start("cd " + (dir_ / "work").string() + " && XDG_STATE_HOME=" +
                 (dir_ / "state").string() + " EDITOR=" + (dir_ / "editor.sh").string() + " " +
                 VELLUMINE_BIN + " --config " + (dir_ / "config.toml").string() + " " + args +
                 " --agent " + FAKE_ACP_AGENT + "; echo EXIT=$?");
  }
  void start(const std::string& args) { start(server_, args); }
  void restart(const std::string& args) { start(server_ + "-again", args); }
  std::string pane() const { return pane_->text(); }
  bool wait_for(const std::string& text) const { return pane_->wait_for(text); }
  void keys(const std::string& k) const { pane_->key(k); }
  void type(const std::string& text) const { pane_->type(text); }
  std::string history() const {
    std::ifstream in(dir_ / "state" / "vellumine" / "history");
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string server_;
  fs::path dir_;
  std::optional<test_support::TmuxPane> pane_;
};

TEST_F(PromptInTmux, ThreeLinesRecalledAfterARestartAPasteCompletionsAndTheEditor) {
  start("--no-preflight");
  ASSERT_TRUE(wait_for("Type a prompt")) << pane();
  type("say one");
  keys("S-Enter");
  type("two");
  keys("M-Enter");
  type("three");
  ASSERT_TRUE(wait_for("❯ say one\n   two\n   three")) << pane();
  keys("Enter");
  ASSERT_TRUE(wait_for("   one\n   two\n   three")) << pane();  // the agent's answer
  keys("C-c");
  ASSERT_TRUE(wait_for("EXIT=0")) << pane();
  restart("--no-preflight");
  ASSERT_TRUE(wait_for("Type a prompt")) << pane();
  keys("Up");
  ASSERT_TRUE(wait_for("❯ say one\n   two\n   three")) << pane();
  keys("C-u BSpace C-u BSpace C-u");
  ASSERT_TRUE(wait_for("Type a prompt")) << pane();

  // 500 lines pasted (bracketed) are one unit in the field and go whole.
  std::string lines;
  for (int i = 0; i < 500; ++i) lines += "line " + std::to_string(i) + "\n";
  std::ofstream(dir_ / "paste.txt") << lines;
  type("say ");
  pane_->command("load-buffer " + (dir_ / "paste.txt").string());
  pane_->command("paste-buffer -p");
  ASSERT_TRUE(wait_for("❯ say [pasted 500 lines]")) << pane();
  keys("Enter");
  ASSERT_TRUE(wait_for("line 499")) << pane();
  EXPECT_NE(history().find("\"say line 0\\nline 1\\n"), std::string::npos) << history();
  EXPECT_NE(history().find("line 498\\nline 499\\n\"\n"), std::string::npos);

  type("/he");
  ASSERT_TRUE(wait_for("/help  list the commands")) << pane();
  keys("Tab");
  ASSERT_TRUE(wait_for("❯ /help\n")) << pane();
  keys("Enter");
  ASSERT_TRUE(wait_for("/clear  start a new conversation")) << pane();

  type("read @src/ma");
  ASSERT_TRUE(wait_for("@src/main.cpp")) << pane();
  keys("Tab");
  ASSERT_TRUE(wait_for("❯ read @src/main.cpp\n")) << pane();
  keys("C-u");

  type("say draft");
  keys("C-g");
  ASSERT_TRUE(wait_for("❯ say edited")) << pane();
  keys("Enter");
  ASSERT_TRUE(wait_for("   edited")) << pane();
  keys("C-c");
  ASSERT_TRUE(wait_for("EXIT=0")) << pane();
}

TEST_F(PromptInTmux, ThePlainChatEditsSeveralLinesAndRecallsThem) {
  start("--plain");
  ASSERT_TRUE(wait_for("❯")) << pane();
  type("say alpha");
  keys("M-Enter");
  type("beta");
  keys("Enter");
  ASSERT_TRUE(wait_for("  alpha\n  beta")) << pane();
  // End of input once the editor reads again (typed ahead, it would meet the line discipline).
  ASSERT_TRUE(wait_for("s\n❯")) << pane();
  keys("C-d");
  ASSERT_TRUE(wait_for("EXIT=0")) << pane();
  restart("--plain");
  ASSERT_TRUE(wait_for("❯")) << pane();
  keys("Up");
  ASSERT_TRUE(wait_for("❯ say alpha\nbeta")) << pane();
}

}  // namespace
