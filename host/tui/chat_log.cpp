#include "host/tui/chat_log.h"

namespace host::tui {
namespace {

zell::tui::widgets::ScrollbackOptions options(std::string id) {
  zell::tui::widgets::ScrollbackOptions o;
  o.id = std::move(id);
  return o;
}

}  // namespace

ChatLog::ChatLog(std::string id) : Scrollback(options(std::move(id))) {}

termui::RichLog& ChatLog::write(const styled::Renderable& content, std::optional<int> width) {
  termui::RichLog& self = Scrollback::write(content, width);
  if (!new_below_ && !rerendering() && !resizing_ && !at_end()) {
    new_below_ = true;
    if (on_view_changed) on_view_changed();
  }
  return self;
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
  resizing_ = true;
  Scrollback::on_resize();
  resizing_ = false;
  scrolled();
}

}  // namespace host::tui
