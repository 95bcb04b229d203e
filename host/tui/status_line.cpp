#include "host/tui/status_line.h"

#include "styled/text.h"

namespace host::tui {

void StatusLine::set_text(std::string_view text) {
  if (text == text_) return;
  const bool was_shown = shown();
  text_.assign(text);
  // Appearing or going changes the layout; a new text on a shown line is only a repaint.
  if (was_shown != shown()) {
    relayout();
  } else {
    refresh();
  }
}

termui::Strip StatusLine::render_line(int y) {
  const int width = size().width;
  if (y != 0 || !shown() || width <= 0) return {};
  styled::Text line(text_);
  line.set_no_wrap(true).set_overflow(styled::Overflow::ellipsis);
  auto lines = line.wrap(width);
  if (lines.empty()) return {};
  return termui::Strip(std::move(lines.front()));
}

}  // namespace host::tui
