#pragma once
// The chat screen's transcript: the system's Scrollback, kept at the end only while the
// reader is there. Every change the host makes goes through `change`: when the view was at
// the end before it, the view stays at the end; when the reader had scrolled up, the view
// stays where it was and `new_output_below` says there is more to read. Scrolling back to the
// end (wheel, page keys, End) clears that.
//
// Scrollback itself pins the view to the end on every write (RichLog's auto_scroll, and the
// explicit scroll_end of stream_token and finish_stream); the log is built with auto_scroll
// off and `change` puts back the reader's place after those explicit calls.

#include <functional>

#include "zell/tui/widgets/scrollback/scrollback.h"

namespace host::tui {

class ChatLog : public zell::tui::widgets::Scrollback {
 public:
  explicit ChatLog(std::string id = "chat-log");

  // Runs `edit` on the transcript and then follows the end, or not, as above.
  template <typename Edit>
  void change(Edit&& edit) {
    const bool follow = at_end();
    const int top = scroll_offset().y;
    const std::size_t rows = lines().size();
    edit();
    settle(follow, top, rows);
  }

  [[nodiscard]] bool at_end() const { return scroll_offset().y >= max_scroll_y(); }
  [[nodiscard]] bool new_output_below() const { return new_below_; }

  // Called after the reader scrolled or new output arrived out of view.
  std::function<void()> on_view_changed;

  bool on_mouse_scroll(termui::MouseEvent& event) override;
  bool on_key(const termui::KeyEvent& key) override;
  void on_resize() override;

 private:
  void settle(bool follow, int top, std::size_t rows_before);
  void scrolled();

  bool new_below_ = false;
};

}  // namespace host::tui
