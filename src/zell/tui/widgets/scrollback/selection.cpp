// Mouse selection: press, drag and release select text by content line and screen cell; the
// highlight and the copied text are both taken from the same per-line span, so what is
// highlighted is what is copied.
//
// Mouse columns are screen cells, but a wide glyph covers two of them: every cell is mapped to
// the glyph that covers it, the way the compositor lays the row out. The spaces that pad a row
// to the render width are neither highlighted nor copied: a line ends where its text ends.

#include <algorithm>
#include <exception>
#include <utility>

#include "unicode/text_ops.h"
#include "unicode/utf8.h"
#include "unicode/width.h"
#include "zell/tui/widgets/scrollback/scrollback.h"

namespace zell::tui::widgets {

namespace {

// A press and release no further apart than this on the same line is a click.
constexpr int CLICK_SLOP = 2;

const styled::Style& highlight() {
  static const styled::Style style = styled::Style::parse("on #264f78");
  return style;
}

// Cells and bytes of the glyph at `pos`, as the compositor places it: tab and line breaks take
// one cell, controls and invalid bytes the width of their visible symbols, a mark with nothing
// to sit on none.
unicode::Grapheme glyph_at(std::string_view text, std::size_t pos) {
  const auto b = static_cast<unsigned char>(text[pos]);
  if (b >= 0x20 && b < 0x7f &&
      (pos + 1 >= text.size() || static_cast<unsigned char>(text[pos + 1]) < 0x80)) {
    return {1, 1};
  }
  unicode::Grapheme g = unicode::grapheme_at(text, pos);
  const std::string_view cluster = text.substr(pos, g.len);
  const char32_t first = unicode::decode_at(cluster, 0).cp;
  if (first == U'\t' || first == U'\n' || first == U'\r') {
    g.width = 1;
  } else if (unicode::is_control(first) || !unicode::is_valid(cluster)) {
    g.width = static_cast<int>(
        std::max<std::size_t>(1, unicode::str_width(unicode::visible_controls(cluster))));
  }
  return g;
}

struct Boundary {
  std::size_t byte = 0;
  int chars = 0;
};

// The glyph boundary for screen cell `cell` of a row showing `text`: the start of the glyph
// covering the cell, so that a glyph (with its combining marks) is never cut; the end of the
// text for a cell past it.
Boundary boundary_at_cell(std::string_view text, int cell) {
  Boundary b;
  int x = 0;
  while (cell > 0 && b.byte < text.size()) {
    const unicode::Grapheme g = glyph_at(text, b.byte);
    if (x + g.width > cell) break;
    x += g.width;
    b.chars += static_cast<int>(unicode::cp_count(text.substr(b.byte, g.len)));
    b.byte += g.len;
  }
  return b;
}

// The row's text without the spaces that pad it to the render width.
std::string_view without_padding(std::string_view text) {
  const std::size_t end = text.find_last_not_of(' ');
  return end == std::string_view::npos ? std::string_view() : text.substr(0, end + 1);
}

}  // namespace

std::optional<SelectionRange> Scrollback::selection_cells() const {
  if (!_sel_start || !_sel_end) return std::nullopt;
  // Positions are (column, line); ordered by line, then column.
  auto [x1, y1] = *_sel_start;
  auto [x2, y2] = *_sel_end;
  if (y1 > y2 || (y1 == y2 && x1 > x2)) {
    std::swap(x1, x2);
    std::swap(y1, y2);
  }
  return SelectionRange{y1, x1, y2, x2};
}

namespace {

// The selected bytes [first, second) of line y, whose unpadded text is `text`.
std::pair<std::size_t, std::size_t> selected_span(std::string_view text, long y, int y1, int x1,
                                                  int y2, int x2) {
  const std::size_t begin = y == y1 ? boundary_at_cell(text, x1).byte : 0;
  const std::size_t end = y == y2 ? boundary_at_cell(text, x2).byte : text.size();
  return {begin, std::max(begin, end)};
}

}  // namespace

std::optional<SelectionRange> Scrollback::_sel_range() const {
  const auto cells = selection_cells();
  if (!cells) return std::nullopt;
  const auto column = [this](int y, int x) {
    if (y < 0 || y >= static_cast<long>(lines().size())) return std::max(0, x);
    const std::string text = lines()[static_cast<std::size_t>(y)].text();
    return boundary_at_cell(without_padding(text), x).chars;
  };
  return SelectionRange{cells->y1, column(cells->y1, cells->x1), cells->y2,
                        column(cells->y2, cells->x2)};
}

std::string Scrollback::_extract_selection() const {
  const auto r = selection_cells();
  if (!r) return "";
  const auto& all = lines();
  // Lines outside the log are skipped, so the walk covers only those that exist: linear in the
  // selected lines, however far outside the drag went.
  const long first = std::max(0, r->y1);
  const long last = std::min<long>(r->y2, static_cast<long>(all.size()) - 1);
  std::string out;
  for (long y = first; y <= last; ++y) {
    const std::string row = all[static_cast<std::size_t>(y)].text();
    const std::string_view text = without_padding(row);
    const auto [begin, end] = selected_span(text, y, r->y1, r->x1, r->y2, r->x2);
    if (y > first) out += '\n';
    out.append(text.substr(begin, end - begin));
  }
  return out;
}

std::string Scrollback::get_selection() const {
  // The lines may have changed since the release: read them again.
  if (_sel_start && _sel_end) return _extract_selection();
  return _selected_text;
}

termui::Strip Scrollback::render_line(int y) {
  termui::Strip strip =
      with_search_marks(RichLog::render_line(y), static_cast<std::size_t>(y + scroll_offset().y));
  const auto r = selection_cells();
  if (!r) return strip;
  const long content_y = static_cast<long>(y) + scroll_offset().y;
  if (content_y < r->y1 || content_y > r->y2) return strip;
  const std::string row = strip.text();
  const auto [begin, end] =
      selected_span(without_padding(row), content_y, r->y1, r->x1, r->y2, r->x2);
  if (begin >= end) return strip;

  // Each segment is cut where the selection starts and ends (always between glyphs); the
  // selected part carries the highlight alone, the rest keeps its own style. Neighbouring
  // pieces of one style join again in the strip.
  std::vector<styled::Segment> pieces;
  pieces.reserve(strip.segments().size() + 2);
  std::size_t at = 0;
  for (const styled::Segment& seg : strip.segments()) {
    const std::size_t seg_end = at + seg.text.size();
    const std::size_t a = std::clamp(begin, at, seg_end);
    const std::size_t b = std::clamp(end, at, seg_end);
    const std::string_view text = seg.text;
    if (a > at) pieces.push_back({std::string(text.substr(0, a - at)), seg.style});
    if (b > a) pieces.push_back({std::string(text.substr(a - at, b - a)), highlight()});
    if (seg_end > b) pieces.push_back({std::string(text.substr(b - at)), seg.style});
    at = seg_end;
  }
  return termui::Strip(std::move(pieces));
}

void Scrollback::on_mouse_down(termui::MouseEvent& event) {
  // The scroll bar and the right padding lie right of the content: a press there is not on text.
  if (event.x >= size().width) return;
  _sel_start.emplace(event.x, event.y + scroll_offset().y);
  _sel_end = _sel_start;
  _selecting = true;
  _selected_text.clear();
  capture_mouse();
  refresh();  // an earlier highlight goes
}

void Scrollback::on_mouse_move(termui::MouseEvent& event) {
  if (!_selecting) return;
  _sel_end = std::pair<int, int>{event.x, event.y + scroll_offset().y};
  refresh();
}

void Scrollback::on_mouse_up(termui::MouseEvent& event) {
  if (!_selecting) return;
  _selecting = false;
  release_mouse();
  _sel_end = std::pair<int, int>{event.x, event.y + scroll_offset().y};
  refresh();
  const int dx = std::abs(_sel_end->first - _sel_start->first);
  const int dy = std::abs(_sel_end->second - _sel_start->second);
  if (dx <= CLICK_SLOP && dy == 0) {
    const int line = _sel_start->second;
    _sel_start.reset();
    _sel_end.reset();
    _handle_thinking_click(line);
    return;
  }
  _selected_text = _extract_selection();
  if (unicode::is_blank(_selected_text)) return;
  // A clipboard that cannot be reached is reported in the transcript; the selection stays.
  try {
    _set_clipboard_osc52(_selected_text);
  } catch (const std::exception& e) {
    append_error(std::string("Could not copy the selection: ") + e.what());
  }
}

void Scrollback::_set_clipboard_osc52(std::string_view text) {
  termui::set_clipboard(clipboard_ports, text);
}

}  // namespace zell::tui::widgets
