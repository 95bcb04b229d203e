#include "host/tui/chat_log.h"

namespace host::tui {
namespace {

zell::tui::widgets::ScrollbackOptions options(std::string id) {
  zell::tui::widgets::ScrollbackOptions o;
  o.auto_scroll = false;  // following the end is decided in settle()
  o.id = std::move(id);
  return o;
}

}  // namespace

ChatLog::ChatLog(std::string id) : Scrollback(options(std::move(id))) {}

void ChatLog::settle(bool follow, int top, std::size_t rows_before) {
  if (follow) {
    scroll_end(false);
    return;
  }
  scroll_to(top, false);
  if (lines().size() != rows_before && !new_below_) {
    new_below_ = true;
    if (on_view_changed) on_view_changed();
  }
}

void ChatLog::scrolled() {
  const bool was = new_below_;
  if (at_end()) new_below_ = false;
  if (on_view_changed && was != new_below_) on_view_changed();
}

bool ChatLog::on_mouse_scroll(termui::MouseEvent& event) {
  const bool used = Scrollback::on_mouse_scroll(event);
  scrolled();
  return used;
}

bool ChatLog::on_key(const termui::KeyEvent& key) {
  const bool used = Scrollback::on_key(key);
  scrolled();
  return used;
}

void ChatLog::on_resize() {
  Scrollback::on_resize();
  scrolled();
}

}  // namespace host::tui
