#pragma once
// The chat screen's one-row status line: shown while there is something to say (a turn at
// work, output below the view), gone otherwise, so an idle screen gives the transcript that
// row back. Text longer than the row ends in "…".

#include <string>
#include <string_view>
#include <vector>

#include "termui/widget.h"

namespace host::tui {

class StatusLine : public termui::Widget {
 public:
  static constexpr std::string_view DEFAULT_CSS =
      "StatusLine { height: auto; padding: 0 1; color: #5fd787; }";

  explicit StatusLine(std::string id = {}) : Widget(std::move(id)) {}

  [[nodiscard]] std::vector<std::string_view> css_sources() const override { return {DEFAULT_CSS}; }

  // Shows `text` (plain, one line); the empty text hides the line.
  void set_text(std::string_view text);
  [[nodiscard]] const std::string& text() const { return text_; }
  [[nodiscard]] bool shown() const { return !text_.empty(); }

  [[nodiscard]] termui::Strip render_line(int y) override;
  [[nodiscard]] int content_height(int) override { return shown() ? 1 : 0; }

 private:
  std::string text_;
};

}  // namespace host::tui
