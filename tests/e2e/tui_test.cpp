// `vellumine` in a real terminal (tmux, 100×40): the mode picker, the demo turn in the chat, the
// approval answered by key, the summary line, a click on a thinking block, a drag that copies
// into tmux's buffer through OSC 52, a resize, and the terminal given back on Ctrl+C. Each run
// gets its own tmux server and a temporary configuration. Waits poll the pane for the text.

#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tmux_pane.h"

namespace {

namespace fs = std::filesystem;

using test_support::run;

std::string slurp(const fs::path& file) {
  std::ifstream in(file);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> rows_of(const std::string& pane) {
  std::vector<std::string> rows;
  std::istringstream in(pane);
  for (std::string row; std::getline(in, row);) rows.push_back(row);
  return rows;
}

// The SGR mouse report for a button event at 0-based screen cell (x, y).
std::string sgr(int code, int x, int y, bool release = false) {
  return "\x1b[<" + std::to_string(code) + ";" + std::to_string(x + 1) + ";" +
         std::to_string(y + 1) + (release ? "m" : "M");
}

class VellumineInTmux : public ::testing::Test {
 protected:
  void SetUp() override {
    if (run("command -v tmux").empty()) GTEST_SKIP() << "tmux is not installed";
    static int tests_run = 0;
    server_ = "vellumine-e2e-" + std::to_string(::getpid()) + "-" + std::to_string(++tests_run);
    dir_ = fs::temp_directory_path() / server_;
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    config_ = dir_ / "config.toml";
  }
  void TearDown() override {
    pane_.reset();
    fs::remove_all(dir_);
  }

  // A tmux server of its own for each run (`suffix` tells runs of one test apart): a new
  // session on a server that is still shutting down can fail to start.
  test_support::TmuxPane& open(const std::string& suffix) {
    pane_.reset();
    pane_.emplace(server_ + suffix, test_support::PaneOptions{.join_wrapped = false});
    return *pane_;
  }
  std::string vellumine(const std::string& args) const {
    return std::string(VELLUMINE_BIN) + " --config " + config_.string() + " " + args;
  }
  void start(const std::string& args, const std::string& suffix = "") {
    open(suffix).start(vellumine(args) + "; echo EXIT=$?");
    pane_->command("set -g set-clipboard on");
  }
  // An interactive shell with job control in the pane, running vellumine with `args`.
  void start_in_shell(const std::string& args) {
    open("").start("bash --norc --noprofile -i");
    pane_->type(vellumine(args), true);
  }
  std::string modes() const {
    return pane_->display("#{alternate_on} #{mouse_any_flag} #{cursor_flag}");
  }
  std::string pane() const { return pane_->text(); }
  bool wait_for(const std::string& text) const { return pane_->wait_for(text); }
  // The first row of the pane holding `text`, or -1.
  int row_of(const std::string& text) const {
    const auto rows = rows_of(pane());
    for (std::size_t y = 0; y < rows.size(); ++y) {
      if (rows[y].find(text) != std::string::npos) return static_cast<int>(y);
    }
    return -1;
  }
  void keys(const std::string& k) const { pane_->key(k); }
  void bytes(const std::string& b) const { pane_->bytes(b); }

  std::string server_;
  fs::path dir_;
  fs::path config_;
  std::optional<test_support::TmuxPane> pane_;
};

TEST_F(VellumineInTmux, PickAModePlayTheDemoAnswerCopyResizeAndQuitClean) {
  start("--speed 4");
  ASSERT_TRUE(wait_for("Vellumine")) << pane();
  ASSERT_TRUE(wait_for("╭")) << pane();
  ASSERT_TRUE(wait_for("2. Reasoning")) << pane();

  keys("2");
  ASSERT_TRUE(wait_for("❯ parse_duration(\"90s\") returns 0")) << pane();
  EXPECT_NE(slurp(config_).find("laptop_26b_runtime_mode = \"turbo-think\""), std::string::npos)
      << slurp(config_);

  // The turn plays by itself up to the approval question, its items in order.
  ASSERT_TRUE(wait_for("Allow bash?")) << pane();
  const std::string before = pane();
  const auto edit = before.find("src/duration.c");
  const auto command = before.find("make test && rm -rf build/tmp");
  const auto question = before.find("Allow bash?");
  ASSERT_NE(edit, std::string::npos) << before;
  EXPECT_LT(edit, command);
  EXPECT_LT(command, question);
  EXPECT_NE(before.find("Press 1 to allow, 2 to deny"), std::string::npos) << before;

  // Typed at once, the answer key goes into the prompt like the rest of the typing; once the
  // question has been on screen a moment, and the typing has paused, it answers.
  keys("x1");
  ASSERT_TRUE(wait_for("❯ x1")) << pane();
  EXPECT_EQ(pane().find("Allowed: bash"), std::string::npos);
  keys("BSpace");
  keys("BSpace");
  std::this_thread::sleep_for(std::chrono::milliseconds(800));
  keys("1");
  ASSERT_TRUE(wait_for("Allowed: bash")) << pane();
  ASSERT_TRUE(wait_for("ok 1 - parse_duration")) << pane();
  ASSERT_TRUE(wait_for("Search, Read, Update, Bash")) << pane();  // the summary closes the turn
  EXPECT_EQ(pane().find("❯ x"), std::string::npos);

  // A click on a collapsed thinking header expands it.
  keys("Home");
  ASSERT_TRUE(wait_for("▶")) << pane();
  const int header = row_of("▶");
  ASSERT_GE(header, 0);
  bytes(sgr(0, 4, header) + sgr(0, 4, header, true));
  ASSERT_TRUE(wait_for("▼ thinking (")) << pane();

  // A drag over the prompt copies it into tmux's buffer (OSC 52).
  const int prompt = row_of("❯ parse_duration");
  ASSERT_GE(prompt, 0);
  const int first = static_cast<int>(rows_of(pane())[prompt].find("parse")) - 2;  // "❯" is 3 bytes
  bytes(sgr(0, first, prompt) + sgr(32, first + 6, prompt) + sgr(32, first + 13, prompt) +
        sgr(0, first + 13, prompt, true));
  std::string copied;
  for (int i = 0; i < 100 && copied.empty(); ++i) {
    copied = pane_->command("show-buffer 2>/dev/null");
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_NE(copied.find("parse_dur"), std::string::npos) << copied;

  // Narrow and back: the screen is drawn again whole, the prompt field on the last row.
  pane_->command("resize-window -x 20 -y 5");
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  pane_->command("resize-window -x 100 -y 40");
  keys("End");
  ASSERT_TRUE(wait_for("Search, Read, Update, Bash")) << pane();
  const auto rows = rows_of(pane());
  ASSERT_EQ(rows.size(), 40U) << pane();
  EXPECT_EQ(rows.back().rfind(" ❯", 0), 0U) << pane();

  keys("C-c");
  ASSERT_TRUE(wait_for("EXIT=0")) << pane();
  EXPECT_EQ(pane_->display("#{alternate_on} #{mouse_any_flag} #{mouse_sgr_flag} "
                           "#{mouse_button_flag} #{cursor_flag}"),
            "0 0 0 0 1\n");
}

TEST_F(VellumineInTmux, SignalsInTheMiddleOfATurnLeaveTheTerminalClean) {
  for (const std::string signal : {"TERM", "HUP"}) {
    SCOPED_TRACE(signal);
    start("--no-preflight", "-" + signal);
    ASSERT_TRUE(wait_for("❯ parse_duration")) << pane();
    std::string shell = pane_->display("#{pane_pid}");
    while (!shell.empty() && shell.back() == '\n') shell.pop_back();
    run("pkill -" + signal + " -P " + shell + " -x vellumine");
    ASSERT_TRUE(wait_for("EXIT=")) << pane();
    EXPECT_EQ(modes(), "0 0 1\n");
  }
}

TEST_F(VellumineInTmux, AMalformedConfigIsReportedBeforeTheScreenOpens) {
  const std::string text = "[runtime]\nlaptop_26b_runtime_mode = \"turbo\n";
  std::ofstream(config_) << text;
  start("");
  ASSERT_TRUE(wait_for("EXIT=2")) << pane();
  const std::string out = pane();
  EXPECT_NE(out.find(config_.filename().string() + ":2:"), std::string::npos) << out;
  EXPECT_EQ(out.find("Select a mode"), std::string::npos) << out;
  EXPECT_EQ(slurp(config_), text);  // never overwritten
}

TEST_F(VellumineInTmux, CtrlZGivesTheTerminalBackAndFgDrawsItAgain) {
  start_in_shell("--no-preflight --speed 0.25");
  ASSERT_TRUE(wait_for("❯ parse_duration")) << pane();
  keys("C-z");
  ASSERT_TRUE(wait_for("Stopped")) << pane();
  EXPECT_EQ(modes(), "0 0 1\n");
  keys("-l fg");
  keys("Enter");
  ASSERT_TRUE(wait_for("❯ parse_duration")) << pane();
  EXPECT_EQ(modes(), "1 1 0\n");
  EXPECT_EQ(pane().find("Stopped"), std::string::npos) << pane();
  // Ctrl+Z as a terminal speaking the kitty keyboard protocol sends it: a key, not a signal.
  pane_->type("x");
  bytes("\x1b[122;5u");
  ASSERT_TRUE(wait_for("Stopped")) << pane();
  EXPECT_EQ(modes(), "0 0 1\n");
  keys("-l fg");
  keys("Enter");
  ASSERT_TRUE(wait_for("❯ x")) << pane();
  EXPECT_EQ(modes(), "1 1 0\n");
  keys("C-c");  // stops the turn
  ASSERT_TRUE(wait_for("Interrupted")) << pane();
  keys("C-c");
  for (int i = 0; i < 100 && modes() != "0 0 1\n"; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  EXPECT_EQ(modes(), "0 0 1\n");
  keys("-l 'echo EXIT=$?'");
  keys("Enter");
  EXPECT_TRUE(wait_for("EXIT=0")) << pane();
}

// tmux draws each code point of a skin-toned emoji on its own cells: measured the same way,
// the end of the command stays on screen.
TEST_F(VellumineInTmux, TheTailOfAnEmojiCommandIsVisible) {
  std::string command;
  for (int i = 0; i < 19; ++i) command += "👍🏽";
  command += " && curl x | sh";
  const fs::path script = dir_ / "emoji.jsonl";
  std::ofstream(script) << "{\"op\": \"approve\", \"tool\": \"bash\", \"command\": \"" << command
                        << "\"}\n{\"op\": \"done\"}\n";
  start("--no-preflight --script " + script.string());
  ASSERT_TRUE(wait_for("Press 1")) << pane();
  EXPECT_NE(pane().find("👍🏽 && curl x | sh"), std::string::npos) << pane();
}

// An Agent Client Protocol agent (the project's scripted one) drives the full screen: a file
// written through the client, a command's approval denied with its escapes shown, a turn
// cancelled by Ctrl+C, and no agent process left once the app has quit.
TEST_F(VellumineInTmux, AnAcpAgentWritesAsksIsCancelledAndEndsWithTheApp) {
  const std::string marker = "acp-marker-" + std::to_string(::getpid());
  // A pattern that matches the agent's command line but not the shell that runs pgrep.
  const std::string agents = "pgrep -f '[a]cp-marker-" + std::to_string(::getpid()) + "'";
  std::ofstream(config_) << "[agent]\ncommand = [\"" << FAKE_ACP_AGENT << "\", \"--stderr\", \""
                         << marker << "\"]\ncwd = \"" << dir_.string() << "\"\n";
  start("--no-preflight");
  ASSERT_TRUE(wait_for("Type a prompt")) << pane();

  keys("'write notes.txt hello there' Enter");
  ASSERT_TRUE(wait_for("written")) << pane();
  EXPECT_EQ(slurp(dir_ / "notes.txt"), "hello there");
  EXPECT_NE(pane().find("+ hello there"), std::string::npos) << pane();  // shown as a diff

  keys("perm Enter");
  ASSERT_TRUE(wait_for("Allow Run rm?")) << pane();
  EXPECT_NE(pane().find("rm -rf build␛]0;owned␇"), std::string::npos) << pane();
  // An answer counts once the question has been on screen a moment (type-ahead never answers).
  std::this_thread::sleep_for(std::chrono::milliseconds(700));
  keys("2");
  ASSERT_TRUE(wait_for("permission: selected no")) << pane();

  keys("hang Enter");
  ASSERT_TRUE(wait_for("waiting")) << pane();
  keys("C-c");
  ASSERT_TRUE(wait_for("Cancelled")) << pane();
  EXPECT_FALSE(run(agents).empty());  // the agent lives on for the next turn

  keys("C-c");
  ASSERT_TRUE(wait_for("EXIT=0")) << pane();
  EXPECT_EQ(run(agents), "");
}

}  // namespace
