#pragma once
// The chat screen's transcript: the system's Scrollback, which follows the end only while the
// view is there (the log's own rule). When the reader has scrolled up and new output arrives,
// `new_output_below` says there is more to read; scrolling back to the end (wheel, page keys,
// End) clears it.

#include <functional>

#include "zell/tui/widgets/scrollback/scrollback.h"

namespace host::tui {

class ChatLog : public zell::tui::widgets::Scrollback {
 public:
  explicit ChatLog(std::string id = "chat-log");

  [[nodiscard]] bool at_end() const { return scroll_offset().y >= max_scroll_y(); }
  [[nodiscard]] bool new_output_below() const { return new_below_; }

  // Called after the reader scrolled or new output arrived out of view.
  std::function<void()> on_view_changed;

  using Scrollback::write;
  termui::RichLog& write(const styled::Renderable& content,
                         std::optional<int> width = std::nullopt) override;
  bool on_mouse_scroll(termui::MouseEvent& event) override;
  bool on_key(const termui::KeyEvent& key) override;
  void on_resize() override;

 private:
  void scrolled();

  bool new_below_ = false;
  bool resizing_ = false;  // a redraw at a new width writes old lines, not new output
};

}  // namespace host::tui
