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
  drop_provisional();
  finished_answer_.reset();
  _history.push_back({"spacer", {}, nullptr});
  drawn_.emplace_back();
  entry_rows_.push_back(static_cast<int>(lines().size()));
  write_blank();
}

void Scrollback::append_entry(HistoryEntry entry) {
  // An item drawn during a stream goes below what the stream has settled; the unfinished row
  // shows again below the item with the next token.
  drop_provisional();
  finished_answer_.reset();
  _history.push_back(std::move(entry));
  drawn_.emplace_back();
  draw_entry(_history.size() - 1);
}

void Scrollback::append_user(std::string_view text) {
  append_entry({"user", {std::string(text)}, nullptr});
}
void Scrollback::append_queued(std::string_view text) {
  append_entry({"queued", {std::string(text)}, nullptr});
}
void Scrollback::append_assistant(std::string_view text) {
  append_entry({"assistant", {std::string(text)}, nullptr});
}
void Scrollback::append_info(std::string_view text) {
  append_entry({"info", {std::string(text)}, nullptr});
}
void Scrollback::append_error(std::string_view text) {
  append_entry({"error", {std::string(text)}, nullptr});
}

void Scrollback::render_entry(std::size_t i) {
  const HistoryEntry& e = _history[i];
  const auto field = [&e](std::size_t k) -> std::string_view {
    return k < e.fields.size() ? std::string_view(e.fields[k]) : std::string_view();
  };
  if (e.kind == "spacer") {
    write_blank();
  } else if (e.kind == "user") {
    _render_user(field(0));
  } else if (e.kind == "queued") {
    _render_queued(field(0));
  } else if (e.kind == "assistant") {
    _render_assistant(field(0));
  } else if (e.kind == "info") {
    _render_info(field(0));
  } else if (e.kind == "error") {
    _render_error(field(0));
  } else if (e.kind == "thinking") {
    const auto state = _thinking_states.find(static_cast<int>(i));
    _render_thinking(field(0), state != _thinking_states.end() && state->second,
                     static_cast<int>(i));
  } else if (e.kind == "tool") {
    _render_tool(field(0), field(1));
  } else if (e.kind == "tool_done") {
    _render_tool_done(field(0), field(1), field(2));
  } else if (e.kind == "tool_result") {
    _render_tool_result(field(0), field(1) == "true");
  } else if (e.kind == "approval") {
    _render_approval(
        field(0), field(1),
        std::span<const std::string>(e.fields).subspan(std::min<std::size_t>(2, e.fields.size())));
  } else if (e.kind == "turn_summary") {
    _render_turn_summary(field(0));
  } else if (e.kind == "raw") {
    if (e.renderable) write(*e.renderable);
    _track_lines();
  }
  // Any other kind is skipped.
}

void Scrollback::draw_entry(std::size_t i) {
  // A history entry may have been pushed by other code than the append family.
  if (drawn_.size() < _history.size()) drawn_.resize(_history.size());
  Drawn& cache = drawn_[i];
  const int widget_width = size().width;
  const int terminal_width = app_width().value_or(-1);
  const auto state = _thinking_states.find(static_cast<int>(i));
  const bool expanded = state != _thinking_states.end() && state->second;
  const std::size_t first_row = lines().size();
  entry_rows_.push_back(static_cast<int>(first_row));
  drawn_width_ = widget_width;
  drawn_widths_ = unicode::width_mode();

  if (cache.widget_width == widget_width && cache.terminal_width == terminal_width &&
      cache.expanded == expanded && cache.widths == unicode::width_mode() && widget_width > 0) {
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
  render_entry(i);
  // Not cached before the widget has its width: the first layout draws everything again.
  if (widget_width <= 0) return;
  cache.widget_width = widget_width;
  cache.terminal_width = terminal_width;
  cache.expanded = expanded;
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

void Scrollback::clear() {
  RichLog::clear();
  entry_rows_.clear();
  stream_first_row_ = 0;
  // The lines streamed so far are gone from the display; the stream itself goes on.
  stream_blank_shown_ = false;
  stream_lines_.clear();
  reset_open_line();
  finished_answer_.reset();
  if (!_rerendering) {
    _history.clear();
    drawn_.clear();
    _thinking_states.clear();
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
  finished_answer_.reset();
  Restore restore{*this, scroll_offset().y};
  RichLog::clear();
  entry_rows_.clear();
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
  const bool known = !entry_rows_.empty() && entry_rows_.size() == _history.size();
  const auto it = std::upper_bound(entry_rows_.begin(), entry_rows_.end(), top);
  const std::size_t top_entry = it == entry_rows_.begin() ? 0 : (it - entry_rows_.begin() - 1);
  const int within = known ? top - entry_rows_[top_entry] : 0;

  _rerender();
  if (at_end) {
    scroll_end(false);
  } else if (!known) {
    scroll_to(top, false);
  } else if (top_entry < entry_rows_.size()) {
    const int next = top_entry + 1 < entry_rows_.size() ? entry_rows_[top_entry + 1]
                                                        : static_cast<int>(lines().size());
    const int first = entry_rows_[top_entry];
    scroll_to(std::min(first + within, std::max(first, next - 1)), false);
  }
}

}  // namespace zell::tui::widgets
