// The sample App in a real terminal (tmux): keys, raw SGR mouse bytes, a resize, and the
// terminal given back on exit. Waits poll the pane until the text shows up.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "shell_run.h"

namespace {

using test_support::run;

class DemoInTmux : public ::testing::Test {
 protected:
  void SetUp() override {
    if (run("command -v tmux").empty()) GTEST_SKIP() << "tmux is not installed";
    session_ = "termui-demo-" + std::to_string(::getpid());
    const std::string demo = std::string(VELLUMINE_BINARY_DIR) + "/examples/termui/termui_demo";
    run("tmux new-session -d -s " + session_ + " -x 60 -y 15 '" + demo +
        "; echo EXITED $?; sleep 30'");
  }
  void TearDown() override {
    if (!session_.empty()) run("tmux kill-session -t " + session_ + " 2>/dev/null");
  }
  std::string pane() { return run("tmux capture-pane -p -t " + session_); }
  bool wait_for(const std::string& text) {
    for (int i = 0; i < 200; ++i) {
      if (pane().find(text) != std::string::npos) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
  }
  void keys(const std::string& k) { run("tmux send-keys -t " + session_ + " " + k); }
  // Raw bytes, as the terminal would send them for a mouse report.
  void bytes(const std::string& b) {
    std::string hex;
    for (unsigned char c : b) {
      char h[4];
      std::snprintf(h, sizeof h, "%02x ", c);
      hex += h;
    }
    run("tmux send-keys -t " + session_ + " -H " + hex);
  }
  std::string session_;
};

TEST_F(DemoInTmux, keys_mouse_resize_and_exit) {
  ASSERT_TRUE(wait_for("termui demo  60×15")) << pane();
  keys("'hello there' Enter");
  ASSERT_TRUE(wait_for("you: hello there")) << pane();
  // A click in the log is reported at its content cell: column 4 is screen column 5 (padding).
  bytes("\x1b[<0;6;4M\x1b[<0;6;4m");
  ASSERT_TRUE(wait_for("click at column 4")) << pane();
  // Wait until the log overflows, then wheel up: the first tick comes back into view.
  ASSERT_TRUE(wait_for("tick 14:")) << pane();
  for (int i = 0; i < 12; ++i) bytes("\x1b[<64;10;5M");
  ASSERT_TRUE(wait_for("tick 1:")) << pane();
  run("tmux resize-window -t " + session_ + " -x 44 -y 10");
  ASSERT_TRUE(wait_for("termui demo  44×10")) << pane();
  keys("C-c");
  ASSERT_TRUE(wait_for("EXITED 0")) << pane();
  // Back on the normal screen: the App's rows are gone.
  EXPECT_EQ(pane().find("termui demo"), std::string::npos) << pane();
}

}  // namespace
