#pragma once
// The start-up screen: a header row and a centred box offering the two runtime modes, one key
// each. Choosing a mode writes it into the host's configuration, saves it, asks the runtime
// gateway whether the model server is ready, and either switches to the host's "chat" screen
// or reports in the box why not, leaving the keys active for another try. "q" quits.
//
// When the host's chat talks to an agent of its own, the screen checks that agent instead of
// the model server: the check starts as the screen opens and runs in the background, the box
// says how it goes (the agent's name and version once it answers, or why it did not start),
// and a mode key opens the chat once the agent is ready (after a failure, it tries again).
//
// The mode lives in the host's configuration, the rest in its two text widgets and the agent's
// check. It reaches the host through zell::ports::host_of(app()).

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "termui/binding.h"
#include "termui/screen.h"
#include "termui/timers.h"
#include "zell/ports/agent_check.h"

namespace zell::tui::screens {

class PreflightScreen : public termui::Screen {
 public:
  static inline const std::vector<termui::Binding> BINDINGS = {
      {"1", "select_fast", "Fast", false},
      {"2", "select_reasoning", "Reasoning", false},
      {"q", "quit", "Quit", false},
  };

  static constexpr std::string_view DEFAULT_CSS =
      "\n    PreflightScreen {\n        layout: vertical;\n    }\n    #picker-header {\n        "
      "dock: top;\n        height: 1;\n        padding: 0 1;\n        color: #5f87ff;\n        "
      "background: $surface;\n    }\n    #picker-center {\n        height: 1fr;\n        align: "
      "center middle;\n    }\n    #picker-box {\n        width: 52;\n        height: auto;\n      "
      "  padding: 1 2;\n        border: round #5f87ff;\n    }\n    ";

  // How often a running check of the agent is asked whether it has finished.
  static constexpr double AGENT_POLL_SECONDS = 0.05;

  PreflightScreen();
  ~PreflightScreen() override;

  [[nodiscard]] std::vector<std::string_view> css_sources() const override {
    return {DEFAULT_CSS, Screen::DEFAULT_CSS};
  }
  [[nodiscard]] const std::vector<termui::Binding>& bindings() const override { return BINDINGS; }

  std::vector<std::unique_ptr<termui::Widget>> compose() override;
  void on_mount() override;
  void on_resize() override;

  void action_select_fast();
  void action_select_reasoning();
  void action_quit();

 private:
  void _update_header();
  void _save();
  void _select_mode(std::string_view mode);

  // ---- the host's agent ----
  void _check_agent();
  void _poll_agent();
  void _show_agent();

  bool has_agent_ = false;
  std::unique_ptr<ports::AgentCheck> check_;  // while one runs
  std::optional<ports::AgentHealth> agent_;   // how the last check went
  std::string agent_name_;
  bool open_when_ready_ = false;
  termui::Timer poll_;
};

}  // namespace zell::tui::screens
