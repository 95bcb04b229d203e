#pragma once
// The start-up screen: a header row and a centred box offering the two runtime modes, one key
// each. Choosing a mode writes it into the host's configuration, saves it, asks the runtime
// gateway whether the model server is ready, and either switches to the host's "chat" screen
// or reports in the box why not, leaving the keys active for another try. "q" quits.
//
// The screen keeps no state of its own: the mode lives in the host's configuration, the rest
// in its two text widgets. It reaches the host through zell::ports::host_of(app()).

#include <memory>
#include <string_view>
#include <vector>

#include "termui/binding.h"
#include "termui/screen.h"

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

  PreflightScreen();

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
};

}  // namespace zell::tui::screens
