// The transcript's core: construction, the one write through which every line passes, line
// counting, the history, clearing and redrawing from the history.

#include <algorithm>
#include <exception>

#include "styled/text.h"
#include "termui/app.h"
#include "zell/tui/widgets/scrollback/scrollback.h"
#include "zell/tui/widgets/scrollback/search_text.h"

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
  entry.layout = layout_;
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
  cache.text = searched_in_rows(entry.record) ? rows_text(cache.strips) : std::string();
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
  search_.changed(index, _history[index]);
  redraw_entry(index);
}

void Scrollback::redraw_from(std::size_t i) {
  // The rows go from the entry's first one, or from the open stream's when the entry was drawn
  // in the middle of it: the stream's lines are written again below the entries.
  std::size_t row = i < _history.size() ? _history[i].first_row : lines().size();
  int line = i < _history.size() ? _history[i].first_line : _line_counter;
  if (_stream_started && stream_first_row_ < row) {
    row = stream_first_row_;
    line = stream_first_counter_;
  }
  if (row > lines().size()) {
    _rerender();
    return;
  }
  while (i > 0 && _history[i - 1].first_row >= row) --i;
  const bool at_end = scroll_offset().y >= max_scroll_y();
  const int saved_scroll = scroll_offset().y;
  redraw_tail(i, row, line);
  if (at_end) {
    scroll_end(false);
  } else {
    scroll_to(saved_scroll, false);
  }
}

void Scrollback::redraw_tail(std::size_t i, std::size_t row, int line) {
  struct Restore {
    Scrollback& self;
    ~Restore() { self._rerendering = false; }
  };
  Restore restore{*this};
  _rerendering = true;
  open_.provisional_shown = false;  // cut off with the rest
  truncate(row);
  _line_counter = line;
  _thinking_line_map.erase(_thinking_line_map.lower_bound(static_cast<int>(row)),
                           _thinking_line_map.end());
  for (; i < _history.size(); ++i) draw_entry(i);
  redraw_stream();
}

void Scrollback::redraw_entry(std::size_t i) {
  // Entries drawn in the middle of an open stream share its rows: the tail is drawn again.
  if (_stream_started && _history[i].first_row >= stream_first_row_) {
    redraw_from(i);
    return;
  }
  if (_history[i].first_row > lines().size()) {
    _rerender();
    return;
  }
  const bool at_end = scroll_offset().y >= max_scroll_y();
  const int saved_scroll = scroll_offset().y;
  relayout_range(i, i + 1);
  if (at_end) {
    scroll_end(false);
  } else {
    scroll_to(saved_scroll, false);
  }
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
    stream_first_entry_ = 0;
    _history.clear();
    _thinking_line_map.clear();
    search_.forget_entries();
    spot_.reset();
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

}  // namespace zell::tui::widgets
