#pragma once
// The list that opens above the prompt field while the user types a command ("/he"), a file
// mention ("@src/ma") or searches the history (Ctrl+R): one row per choice (its text, and a
// description dimmed beside it), the chosen one highlighted, a title row on top. Closed, it
// takes no rows.

#include <cstddef>
#include <string>
#include <vector>

#include "termui/widget.h"

namespace host::tui {

class PromptPopup : public termui::Widget {
 public:
  static constexpr std::string_view DEFAULT_CSS =
      "PromptPopup { height: auto; padding: 0 1; background: #1c1c1c; }";
  static constexpr int MAX_ROWS = 8;

  struct Choice {
    std::string text;         // what completing puts in the field
    std::string description;  // shown dimmed beside it
  };

  explicit PromptPopup(std::string id = {}) : Widget(std::move(id)) {}
  [[nodiscard]] std::vector<std::string_view> css_sources() const override { return {DEFAULT_CSS}; }

  // Opens (or updates) the list; the first choice is chosen. `empty` is shown when there is no
  // choice.
  void show(std::string title, std::vector<Choice> choices, std::string empty = "no matches");
  void close();
  [[nodiscard]] bool is_open() const { return open_; }
  [[nodiscard]] const std::vector<Choice>& choices() const { return choices_; }
  // Moves the highlight, wrapping at either end.
  void move(int delta);
  // The highlighted choice; null when there is none.
  [[nodiscard]] const Choice* chosen() const;

  [[nodiscard]] int content_height(int width) override;
  [[nodiscard]] termui::Strip render_line(int y) override;

 private:
  bool open_ = false;
  std::string title_;
  std::string empty_;
  std::vector<Choice> choices_;
  std::size_t chosen_ = 0;
  std::size_t first_ = 0;  // first choice shown
};

}  // namespace host::tui
