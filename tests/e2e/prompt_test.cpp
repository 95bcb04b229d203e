// The prompt of `vellumine` as a person types it in a real terminal (tmux with extended keys,
// so that Shift+Enter is told from Enter), talking to the project's scripted ACP agent: a
// three-line prompt, recalled with Up after a restart, a 500-line paste sent whole, "/he" and
// "@src/ma" completed, the prompt edited in $EDITOR; and the plain chat's line editor.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "shell_run.h"

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
    stop();
    fs::remove_all(dir_);
  }

  std::string tmux(const std::string& args) const { return "tmux -L " + server_ + " " + args; }
  void start(const std::string& args) {
    const std::string env = "cd " + (dir_ / "work").string() +
                            " && XDG_STATE_HOME=" + (dir_ / "state").string() +
                            " EDITOR=" + (dir_ / "editor.sh").string();
    const std::string cmd = env + " " + VELLUMINE_BIN + " --config " +
                            (dir_ / "config.toml").string() + " " + args + " --agent " +
                            FAKE_ACP_AGENT + "; echo EXIT=$?; sleep 60";
    run(tmux("-f " + (dir_ / "tmux.conf").string() + " new-session -d -x 100 -y 40 '" + cmd + "'"));
  }
  void stop() { run(tmux("kill-server") + " 2>/dev/null"); }
  // A server of its own for the second run: the first one may still be on its way out.
  void restart(const std::string& args) {
    stop();
    server_ += "-again";
    start(args);
  }
  std::string pane() const { return run(tmux("capture-pane -p")); }
  bool wait_for(const std::string& text) const {
    for (int i = 0; i < 300; ++i) {
      if (pane().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  void keys(const std::string& k) const { run(tmux("send-keys " + k)); }
  void type(const std::string& text) const { run(tmux("send-keys -l '" + text + "'")); }
  std::string history() const {
    std::ifstream in(dir_ / "state" / "vellumine" / "history");
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
  }

  std::string server_;
  fs::path dir_;
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
  run(tmux("load-buffer " + (dir_ / "paste.txt").string()));
  run(tmux("paste-buffer -p"));
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
