#include "termui/widgets/rich_log.h"

#include <algorithm>
#include <iterator>

#include "styled/text.h"

namespace termui {

RichLog::RichLog(RichLogOptions options) : Widget(options.id), options_(std::move(options)) {}

RichLog& RichLog::write(const styled::Renderable& content, std::optional<int> width) {
  int render_width = width ? *width : (size().width > 0 ? size().width : options_.min_width);
  render_width = std::max(1, render_width);
  styled::Lines rendered;
  const auto* text = dynamic_cast<const styled::Text*>(&content);
  if (!options_.wrap && text && !text->no_wrap()) {
    // Cropped rather than wrapped: render on one row per line, cut at the render width.
    styled::Text one = *text;
    one.set_no_wrap(true).set_overflow(styled::Overflow::crop);
    rendered = _console.render_lines(one, render_width, false);
  } else {
    rendered = _console.render_lines(content, render_width, false);
  }
  reserve_more(rendered.size());
  widest_ = std::max(widest_, render_width);
  // Kept unpadded: the compositor fills the rest of a row with the background when it paints.
  for (const auto& line : rendered) lines_.emplace_back(line);
  if (options_.auto_scroll && pinned_to_end_) scroll_end();
  grew();
  return *this;
}

RichLog& RichLog::write(std::string_view text, std::optional<int> width) {
  return write(styled::Text(text), width);
}

void RichLog::append_strips(const Strip* first, std::size_t count) {
  reserve_more(count);
  for (std::size_t i = 0; i < count; ++i) {
    if (i + PREFETCH_AHEAD < count) first[i + PREFETCH_AHEAD].prefetch();
    widest_ = std::max(widest_, first[i].cell_length());
    lines_.push_back(first[i]);
  }
  if (options_.auto_scroll && pinned_to_end_) scroll_end();
  grew();
}

void RichLog::reserve_more(std::size_t more) {
  const std::size_t need = lines_.size() + more;
  if (need > lines_.capacity()) lines_.reserve(std::max(need, lines_.capacity() * 2));
}

void RichLog::clear() {
  drop_lines(0);
  widest_ = 0;
  scroll_y_ = 0;
  pinned_to_end_ = true;
  grew();
}

void RichLog::drop_lines(std::size_t keep) {
  // Released front to back with the rows ahead fetched: a redraw of a long log drops tens of
  // thousands of rows at once.
  const std::size_t n = lines_.size();
  for (std::size_t i = keep; i < n; ++i) {
    if (i + PREFETCH_AHEAD < n) lines_[i + PREFETCH_AHEAD].prefetch();
    lines_[i] = Strip();
  }
  lines_.resize(keep);
}

void RichLog::grew() {
  // A log as tall as its lines (height: auto) changes the layout; otherwise only repaint.
  const auto& h = styles().height;
  if (h && h->unit == Scalar::Unit::automatic) {
    relayout();
  } else {
    refresh();
  }
}

void RichLog::truncate(std::size_t count) {
  if (count >= lines_.size()) return;
  drop_lines(count);
  scroll_y_ = std::min(scroll_y_, max_scroll_y());
  grew();
}

void RichLog::replace_lines(std::size_t first, std::size_t count, std::vector<Strip> rows) {
  first = std::min(first, lines_.size());
  count = std::min(count, lines_.size() - first);
  for (const Strip& row : rows) widest_ = std::max(widest_, row.cell_length());
  const auto at = lines_.begin() + static_cast<std::ptrdiff_t>(first);
  const std::size_t common = std::min(count, rows.size());
  std::move(rows.begin(), rows.begin() + static_cast<std::ptrdiff_t>(common), at);
  if (rows.size() > count) {
    lines_.insert(at + static_cast<std::ptrdiff_t>(common),
                  std::make_move_iterator(rows.begin() + static_cast<std::ptrdiff_t>(common)),
                  std::make_move_iterator(rows.end()));
  } else {
    lines_.erase(at + static_cast<std::ptrdiff_t>(common), at + static_cast<std::ptrdiff_t>(count));
  }
  scroll_y_ = std::min(scroll_y_, max_scroll_y());
  grew();
}

Size RichLog::virtual_size() const {
  return {widest_, static_cast<int>(lines_.size())};
}

int RichLog::max_scroll_y() const {
  return std::max(0, static_cast<int>(lines_.size()) - size().height);
}

void RichLog::scroll_to(std::optional<int> y, bool) {
  if (!y) return;
  const int target = std::clamp(*y, 0, max_scroll_y());
  pinned_to_end_ = target >= max_scroll_y();
  if (target != scroll_y_) {
    scroll_y_ = target;
    refresh();
  }
}

void RichLog::scroll_end(bool animate) {
  scroll_to(max_scroll_y(), animate);
}

void RichLog::scroll_relative(int dy) {
  scroll_to(scroll_y_ + dy);
}

void RichLog::on_resize() {
  if (pinned_to_end_) {
    scroll_y_ = max_scroll_y();
  } else {
    scroll_y_ = std::min(scroll_y_, max_scroll_y());
  }
}

Strip RichLog::render_line(int y) {
  const long idx = static_cast<long>(scroll_y_) + y;
  if (y < 0 || idx >= static_cast<long>(lines_.size())) return {};
  return lines_[static_cast<std::size_t>(idx)];
}

bool RichLog::on_mouse_scroll(MouseEvent& event) {
  if (event.action == MouseAction::scroll_up) {
    scroll_relative(-WHEEL_LINES);
    return true;
  }
  if (event.action == MouseAction::scroll_down) {
    scroll_relative(WHEEL_LINES);
    return true;
  }
  return false;
}

bool RichLog::on_key(const KeyEvent& key) {
  if (key.key == "pageup") {
    page_up();
  } else if (key.key == "pagedown") {
    page_down();
  } else if (key.key == "home") {
    scroll_to(0);
  } else if (key.key == "end") {
    scroll_end();
  } else if (key.key == "up") {
    scroll_relative(-1);
  } else if (key.key == "down") {
    scroll_relative(1);
  } else {
    return false;
  }
  return true;
}

}  // namespace termui
