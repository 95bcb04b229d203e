#pragma once
// One tmux server of its own with one pane (100×40) for tests that drive a program by keys and
// read what the terminal shows. Waits poll the pane; their limits are hang guards, not
// measurements.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>

#include "shell_run.h"

namespace test_support {

struct PaneOptions {
  // The tmux configuration the server reads (extended keys, for example); none by default.
  std::string config_file = "/dev/null";
  // Whether text() joins lines the terminal wrapped (keeping their trailing blanks); without,
  // it gives the rows as drawn with trailing blanks dropped.
  bool join_wrapped = true;
};

class TmuxPane {
 public:
  explicit TmuxPane(std::string server, PaneOptions options = {})
      : server_(std::move(server)), options_(std::move(options)) {}
  ~TmuxPane() { run(tmux("kill-server") + " 2>/dev/null"); }
  TmuxPane(const TmuxPane&) = delete;
  TmuxPane& operator=(const TmuxPane&) = delete;

  // Runs `command` (a shell command line) in a new pane; the pane stays once it ends.
  void start(const std::string& command) const {
    run(tmux("-f " + quoted(options_.config_file) + " new-session -d -x 100 -y 40 " +
             quoted(command + "; sleep 120")));
  }
  // The screen as it is now; with `history`, everything that scrolled off above it too.
  [[nodiscard]] std::string text(bool history = false) const {
    return run(tmux(std::string("capture-pane -p") + (options_.join_wrapped ? " -J" : "") +
                    (history ? " -S -" : "")));
  }
  [[nodiscard]] std::string title() const { return display("#{pane_title}"); }
  // A tmux format expanded for the pane ("#{alternate_on}"), with its line feed.
  [[nodiscard]] std::string display(const std::string& format) const {
    return run(tmux("display -p " + quoted(format)));
  }
  // Any other tmux command on this server; what it printed.
  std::string command(const std::string& args) const { return run(tmux(args)); }
  // Waits until the pane (with its history when asked) holds `needle` `times` times.
  bool wait_for(const std::string& needle, std::chrono::seconds limit = std::chrono::seconds(20),
                bool history = false, int times = 1) const {
    const auto end = std::chrono::steady_clock::now() + limit;
    do {
      if (count(text(history), needle) >= times) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    } while (std::chrono::steady_clock::now() < end);
    return false;
  }
  // Text typed as it is, then Enter when asked.
  void type(const std::string& text, bool enter = false) const {
    run(tmux("send-keys -l " + quoted(text)));
    if (enter) key("Enter");
  }
  // A key by tmux's name for it ("Enter", "C-c"); several, space-separated, in one go.
  void key(const std::string& name) const { run(tmux("send-keys " + name)); }
  // Bytes as the terminal would send them (mouse reports, protocol keys).
  void bytes(const std::string& b) const {
    std::string hex;
    for (const unsigned char c : b) {
      char h[4];
      std::snprintf(h, sizeof h, "%02x ", c);
      hex += h;
    }
    run(tmux("send-keys -H " + hex));
  }

  static int count(const std::string& haystack, const std::string& needle) {
    int n = 0;
    for (auto at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + needle.size())) {
      ++n;
    }
    return n;
  }

 private:
  [[nodiscard]] std::string tmux(const std::string& args) const {
    return "tmux -L " + server_ + " " + args;
  }
  // `s` in single quotes for the shell.
  static std::string quoted(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
  }

  std::string server_;
  PaneOptions options_;
};

}  // namespace test_support
