// Laying the transcript out again. A new width starts a new layout: the rows in view, and a page
// either side, are drawn at once; the rows of other entries stay as they were drawn until the
// reader scrolls to them, so that a resize costs the rows on screen, not the whole history.
// An entry laid out again replaces its own rows in place; the rows after it move with it.

#include <algorithm>
#include <map>

#include "zell/tui/widgets/scrollback/scrollback.h"

namespace zell::tui::widgets {

void Scrollback::on_resize() {
  RichLog::on_resize();
  // The terminal may answer how it measures text after rows were drawn: they are drawn again.
  const bool widths_changed = drawn_widths_ != unicode::width_mode();
  if (size().width > 0 && (size().width != drawn_width_ || widths_changed) && !lines().empty()) {
    lay_out_again();
  }
  drawn_width_ = size().width;
  drawn_widths_ = unicode::width_mode();
}

bool Scrollback::on_key(const termui::KeyEvent& key) {
  const bool used = RichLog::on_key(key);
  if (used) lay_out_view(view_anchor());
  return used;
}

bool Scrollback::on_mouse_scroll(termui::MouseEvent& event) {
  const bool used = RichLog::on_mouse_scroll(event);
  if (used) lay_out_view(view_anchor());
  return used;
}

Scrollback::ViewAnchor Scrollback::view_anchor() const {
  const int top = scroll_offset().y;
  if (top >= max_scroll_y() || _history.empty()) return {};
  const std::size_t entry = entry_at_row(static_cast<std::size_t>(top));
  return {false, entry, top - static_cast<int>(_history[entry].first_row)};
}

void Scrollback::restore_anchor(const ViewAnchor& anchor) {
  if (anchor.at_end || anchor.entry >= _history.size()) {
    scroll_end(false);
    return;
  }
  const auto first = static_cast<int>(_history[anchor.entry].first_row);
  const auto end = static_cast<int>(entry_end_row(anchor.entry));
  scroll_to(first + std::clamp(anchor.within, 0, std::max(0, end - first - 1)), false);
}

std::size_t Scrollback::entry_at_row(std::size_t row) const {
  const auto it =
      std::upper_bound(_history.begin(), _history.end(), row,
                       [](std::size_t r, const HistoryEntry& e) { return r < e.first_row; });
  return it == _history.begin() ? 0 : static_cast<std::size_t>(it - _history.begin() - 1);
}

std::size_t Scrollback::entry_end_row(std::size_t i) const {
  std::size_t end = i + 1 < _history.size() ? _history[i + 1].first_row : lines().size();
  // The open stream's rows follow the entries drawn before it began.
  if (_stream_started && _history[i].first_row < stream_first_row_) {
    end = std::min(end, stream_first_row_);
  }
  return std::max(end, _history[i].first_row);
}

void Scrollback::lay_out_again() {
  const ViewAnchor anchor = view_anchor();
  ++layout_;
  // The open stream is the last thing drawn, together with anything drawn in the middle of it:
  // drawn again at once.
  if (_stream_started) {
    const auto first_after =
        std::lower_bound(_history.begin(), _history.end(), stream_first_row_,
                         [](const HistoryEntry& e, std::size_t row) { return e.first_row < row; });
    redraw_from(static_cast<std::size_t>(first_after - _history.begin()));
  }
  lay_out_view(anchor);
}

void Scrollback::lay_out_view(const ViewAnchor& anchor) {
  if (_history.empty()) return;
  for (;;) {
    restore_anchor(anchor);
    const int page = std::max(1, size().height);
    const auto low = static_cast<std::size_t>(std::max(0, scroll_offset().y - page));
    const auto high = static_cast<std::size_t>(scroll_offset().y + 2 * page);
    const std::size_t last = entry_at_row(high);
    std::size_t k = entry_at_row(low);
    while (k <= last && laid_out(k)) ++k;
    if (k > last) return;
    std::size_t m = k;
    while (m <= last && !laid_out(m)) ++m;
    relayout_range(k, m);
  }
}

void Scrollback::relayout_range(std::size_t k, std::size_t m) {
  const std::size_t a = _history[k].first_row;
  const std::size_t b = entry_end_row(m - 1);
  const int line_a = _history[k].first_line;
  int line_b = _line_counter;
  if (_stream_started && b == stream_first_row_) {
    line_b = stream_first_counter_;
  } else if (m < _history.size()) {
    line_b = _history[m].first_line;
  }

  struct Restore {
    Scrollback& self;
    ~Restore() { self._rerendering = false; }
  };
  Restore restore{*this};
  _rerendering = true;
  // Drawn below everything, then moved into place.
  const std::size_t n0 = lines().size();
  const int counter = _line_counter;
  std::vector<HistoryEntry> before;  // places to go back to should a renderer fail
  for (std::size_t j = k; j < m; ++j) {
    before.push_back({{}, {}, _history[j].first_row, _history[j].first_line, _history[j].layout});
  }
  _line_counter = line_a;
  try {
    for (std::size_t j = k; j < m; ++j) draw_entry(j);
  } catch (...) {
    truncate(n0);
    _line_counter = counter;
    _thinking_line_map.erase(_thinking_line_map.lower_bound(static_cast<int>(n0)),
                             _thinking_line_map.end());
    for (std::size_t j = k; j < m; ++j) {
      const HistoryEntry& was = before[j - k];
      _history[j].first_row = was.first_row;
      _history[j].first_line = was.first_line;
      _history[j].layout = was.layout;
    }
    throw;
  }
  const int line_delta = (_line_counter - line_a) - (line_b - line_a);
  std::vector<termui::Strip> rows(lines().begin() + static_cast<std::ptrdiff_t>(n0), lines().end());
  truncate(n0);
  const long delta = static_cast<long>(rows.size()) - static_cast<long>(b - a);
  const auto moved = [&](std::size_t row) {
    return static_cast<std::size_t>(static_cast<long>(row) + delta);
  };

  for (std::size_t j = k; j < m; ++j) _history[j].first_row = _history[j].first_row - n0 + a;
  for (std::size_t j = m; j < _history.size(); ++j) {
    _history[j].first_row = moved(_history[j].first_row);
    _history[j].first_line += line_delta;
  }
  std::map<int, int> headers;
  for (const auto& [row, idx] : _thinking_line_map) {
    const auto r = static_cast<std::size_t>(row);
    if (r < a) {
      headers.emplace(row, idx);
    } else if (r >= n0) {
      headers.emplace(static_cast<int>(a + (r - n0)), idx);
    } else if (r >= b) {
      headers.emplace(static_cast<int>(moved(r)), idx);
    }
  }
  _thinking_line_map = std::move(headers);
  if (_stream_started && stream_first_row_ >= b) {
    stream_first_row_ = moved(stream_first_row_);
    stream_first_counter_ += line_delta;
  }
  if (open_.provisional_shown) {
    open_.provisional_row = moved(open_.provisional_row);
    open_.provisional_counter += line_delta;
  }
  for (auto* end : {&_sel_start, &_sel_end}) {
    if (*end && (*end)->second >= static_cast<int>(b)) {
      (*end)->second = static_cast<int>(moved(static_cast<std::size_t>((*end)->second)));
    }
  }
  _line_counter = counter + line_delta;
  replace_lines(a, b - a, std::move(rows));
}

}  // namespace zell::tui::widgets
