// The transcript's core: construction, the one write through which every line passes, line
// counting, the history, clearing and redrawing from the history.

#include <algorithm>
#include <exception>

#include "styled/text.h"
#include "termui/app.h"
#include "zell/tui/widgets/scrollback/scrollback.h"

namespace zell::tui::widgets {

const styled::Theme& CUSTOM_THEME() {
  static const styled::Theme theme{
      {"markdown.code", "#d72b6b on #2a2a2a"}, {"markdown.code_inline", "#d72b6b on #2a2a2a"},
      {"markdown.h1", "bold white"},           {"markdown.h2", "bold white"},
      {"markdown.h3", "bold white"},           {"markdown.h4", "bold white"}};
  return theme;
}

namespace {

termui::RichLogOptions base_options(ScrollbackOptions o) {
  termui::RichLogOptions base;
  base.wrap = true;  // long lines wrap instead of running off to the side
  base.auto_scroll = o.auto_scroll;
  base.min_width = o.min_width;
  base.id = std::move(o.id);
  return base;
}

}  // namespace

Scrollback::Scrollback(ScrollbackOptions options) : RichLog(base_options(std::move(options))) {}

void Scrollback::on_mount() {
  _console.push_theme(CUSTOM_THEME());
}

std::optional<int> Scrollback::app_width() const {
  // A terminal reporting no columns has not told its width.
  if (!is_mounted() || app().size().width <= 0) return std::nullopt;
  return app().size().width;
}

int Scrollback::line_width() const {
  const int w = size().width - 2;
  if (w > 10) return w;
  return std::max(1, size().width > 0 ? size().width : min_width());
}

int Scrollback::answer_width() const {
  const std::optional<int> terminal = app_width();
  const int filled = std::max(terminal ? *terminal - 6 : 76, 40) - 2;
  // Never wider than the rows the log shows: a row it wrapped again would start at the margin
  // instead of under the indented text.
  return std::max(1, std::min(filled, line_width() - 2));
}

termui::RichLog& Scrollback::write(const styled::Renderable& content, std::optional<int> width) {
  if (!width) {
    const int w = size().width - 2;
    if (w > 10) width = w;
  }
  return RichLog::write(content, width);
}

void Scrollback::write_line(const styled::Renderable& line) {
  write(line);
  _track_lines();
}

void Scrollback::write_blank() {
  write_line(styled::Text());
}

int Scrollback::_track_lines(int count) {
  const int start = _line_counter;
  _line_counter = start + count;
  return start;
}

void Scrollback::_spacer() {
  append(entries::Spacer{});
}

void Scrollback::append(EntryRecord record) {
  // An item drawn during a stream goes below what the stream has settled; the unfinished row
  // shows again below the item with the next token.
  drop_provisional();
  _history.push_back({std::move(record), {}, 0, 0});
  draw_entry(_history.size() - 1);
}

void Scrollback::append_user(std::string_view text) {
  append(entries::User{std::string(text)});
}
void Scrollback::append_queued(std::string_view text) {
  append(entries::Queued{std::string(text)});
}
void Scrollback::append_assistant(std::string_view text) {
  append(entries::Assistant{std::string(text)});
}
void Scrollback::append_info(std::string_view text) {
  append(entries::Info{std::string(text)});
}
void Scrollback::append_error(std::string_view text) {
  append(entries::Error{std::string(text)});
}

void Scrollback::render_record(const entries::Spacer&) {
  write_blank();
}

void Scrollback::render_record(const entries::Raw& r) {
  if (r.renderable) write(*r.renderable);
  _track_lines();
}

void Scrollback::draw_entry(std::size_t i) {
  HistoryEntry& entry = _history[i];
  EntryDrawing& cache = entry.drawn;
  const int widget_width = size().width;
  const int terminal_width = app_width().value_or(-1);
  const std::size_t first_row = lines().size();
  entry.first_row = first_row;
  entry.first_line = _line_counter;
  drawn_width_ = widget_width;
  drawn_widths_ = unicode::width_mode();

  if (cache.widget_width == widget_width && cache.terminal_width == terminal_width &&
      cache.widths == unicode::width_mode() && widget_width > 0) {
    append_strips(cache.strips.data(), cache.strips.size());
    _line_counter += cache.writes;
    _step_count += cache.steps;
    for (int row : cache.header_rows) {
      _thinking_line_map[static_cast<int>(first_row) + row] = static_cast<int>(i);
    }
    return;
  }

  const int counter_before = _line_counter;
  const int steps_before = _step_count;
  cache.widget_width = -1;  // a renderer that fails leaves nothing to copy
  drawing_ = i;
  std::visit([this](const auto& record) { render_record(record); }, entry.record);
  // Not kept before the widget has its width: the first layout draws everything again.
  if (widget_width <= 0) return;
  cache.widget_width = widget_width;
  cache.terminal_width = terminal_width;
  cache.widths = unicode::width_mode();
  cache.strips.assign(lines().begin() + static_cast<std::ptrdiff_t>(first_row), lines().end());
  cache.writes = _line_counter - counter_before;
  cache.steps = _step_count - steps_before;
  cache.header_rows.clear();
  // Headers are keyed by the display row they are drawn on: this entry's are at or after its
  // first row.
  for (auto it = _thinking_line_map.lower_bound(static_cast<int>(first_row));
       it != _thinking_line_map.end(); ++it) {
    if (it->second == static_cast<int>(i)) {
      cache.header_rows.push_back(it->first - static_cast<int>(first_row));
    }
  }
}

void Scrollback::replace_entry(std::size_t index, EntryRecord record) {
  if (index >= _history.size()) return;
  _history[index].record = std::move(record);
  _history[index].drawn = {};
  redraw_from(index);
}

void Scrollback::redraw_from(std::size_t i) {
  // The rows go from the entry's first one, or from the open stream's when the entry was drawn
  // in the middle of it: the stream's lines are written again below the entries.
  std::size_t row = _history[i].first_row;
  int line = _history[i].first_line;
  if (_stream_started && stream_first_row_ < row) {
    row = stream_first_row_;
    line = stream_first_counter_;
  }
  if (row > lines().size()) {
    _rerender();
    return;
  }
  while (i > 0 && _history[i - 1].first_row >= row) --i;

  struct Restore {
    Scrollback& self;
    std::optional<int> saved_scroll;
    ~Restore() {
      self._rerendering = false;
      if (saved_scroll) self.scroll_to(*saved_scroll, false);
    }
  };
  const bool at_end = scroll_offset().y >= max_scroll_y();
  Restore restore{*this, at_end ? std::nullopt : std::optional<int>(scroll_offset().y)};
  _rerendering = true;
  open_.provisional_shown = false;  // cut off with the rest
  truncate(row);
  _line_counter = line;
  _thinking_line_map.erase(_thinking_line_map.lower_bound(static_cast<int>(row)),
                           _thinking_line_map.end());
  for (; i < _history.size(); ++i) draw_entry(i);
  redraw_stream();
}

void Scrollback::clear() {
  RichLog::clear();
  stream_first_row_ = 0;
  // The lines streamed so far are gone from the display; the stream itself goes on.
  stream_blank_shown_ = false;
  stream_shown_from_ = stream_done_.size();
  reset_open_line();
  finished_answer_.reset();
  if (!_rerendering) {
    _history.clear();
    _thinking_line_map.clear();
  }
  _line_counter = 0;
}

void Scrollback::_rerender() {
  // The flag and the scroll position come back even when a renderer fails; the error goes on
  // to the caller with the display drawn up to the failing entry.
  struct Restore {
    Scrollback& self;
    int saved_scroll;
    ~Restore() {
      self._rerendering = false;
      self.scroll_to(saved_scroll, false);
    }
  };
  _rerendering = true;
  Restore restore{*this, scroll_offset().y};
  RichLog::clear();
  _thinking_line_map.clear();
  _line_counter = 0;
  for (std::size_t i = 0; i < _history.size(); ++i) draw_entry(i);
  // An open stream is not in the history yet: its lines are filled again below it.
  redraw_stream();
}

void Scrollback::on_resize() {
  RichLog::on_resize();
  // The terminal may answer how it measures text after rows were drawn: they are drawn again.
  const bool widths_changed = drawn_widths_ != unicode::width_mode();
  if (size().width > 0 && (size().width != drawn_width_ || widths_changed) && !lines().empty()) {
    rerender_for_resize();
  }
  drawn_width_ = size().width;
  drawn_widths_ = unicode::width_mode();
}

void Scrollback::rerender_for_resize() {
  // The reader's place: the entry at the top of the view and the row within it.
  const bool at_end = scroll_offset().y >= max_scroll_y();
  const int top = scroll_offset().y;
  const auto it =
      std::upper_bound(_history.begin(), _history.end(), static_cast<std::size_t>(top),
                       [](std::size_t row, const HistoryEntry& e) { return row < e.first_row; });
  const std::size_t top_entry = it == _history.begin() ? 0 : (it - _history.begin() - 1);
  const int within = _history.empty() ? 0 : top - static_cast<int>(_history[top_entry].first_row);

  _rerender();
  if (at_end) {
    scroll_end(false);
  } else if (_history.empty()) {
    scroll_to(top, false);
  } else {
    const std::size_t next =
        top_entry + 1 < _history.size() ? _history[top_entry + 1].first_row : lines().size();
    const auto first = static_cast<int>(_history[top_entry].first_row);
    scroll_to(std::min(first + within, std::max(first, static_cast<int>(next) - 1)), false);
  }
}

}  // namespace zell::tui::widgets
