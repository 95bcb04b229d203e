// TextArea's rows: the text laid out at the field's width (line breaks, then wrapping), the
// cursor kept in view, the rows drawn, and the pointer and Up/Down mapped onto them.

#include <algorithm>

#include "termui/app.h"
#include "termui/widgets/text_area.h"
#include "unicode/width.h"

namespace termui {
namespace {

const styled::Style AREA_CURSOR = styled::Style().with(styled::Attr::reverse);
const styled::Style DIM = styled::Style().with(styled::Attr::dim);
const styled::Style FOLDED = styled::Style().with(styled::Attr::dim).with(styled::Attr::italic);

}  // namespace

int TextArea::indent() const {
  return static_cast<int>(unicode::str_width(prompt_));
}

const std::vector<TextArea::Row>& TextArea::rows_for(int width) {
  if (!rows_stale_ && width == rows_width_) return rows_;
  rows_stale_ = false;
  rows_width_ = width;
  rows_.clear();
  // One cell stays free at the end of a row for the cursor after its last character.
  const int room = std::max(1, width - indent() - 1);
  std::size_t begin = 0;
  int cells = 0;
  for (std::size_t p = 0;;) {
    if (p == text_.size() || text_[p] == '\n') {
      rows_.push_back({begin, p});
      if (p == text_.size()) break;
      begin = ++p;
      cells = 0;
      continue;
    }
    const Unit u = unit_at(p);
    if (cells > 0 && cells + u.width > room) {
      rows_.push_back({begin, p});
      begin = p;
      cells = 0;
      continue;
    }
    cells += u.width;
    p += u.len;
  }
  return rows_;
}

int TextArea::row_of(const std::vector<Row>& rows, std::size_t pos) const {
  // The last row starting at or before `pos`: a position where a long line wraps belongs to
  // the row it starts.
  const auto it = std::upper_bound(rows.begin(), rows.end(), pos,
                                   [](std::size_t p, const Row& r) { return p < r.begin; });
  return static_cast<int>(std::max<std::ptrdiff_t>(0, (it - rows.begin()) - 1));
}

int TextArea::cells_before(const Row& row, std::size_t pos) const {
  int cells = 0;
  for (std::size_t p = row.begin; p < pos && p < row.end;) {
    const Unit u = unit_at(p);
    cells += u.width;
    p += u.len;
  }
  return cells;
}

std::size_t TextArea::position_at(const Row& row, int cells) const {
  int at = 0;
  std::size_t p = row.begin;
  while (p < row.end) {
    const Unit u = unit_at(p);
    if (at + u.width > cells) break;
    at += u.width;
    p += u.len;
  }
  return p;
}

int TextArea::row_count() {
  return static_cast<int>(rows_for(std::max(1, size().width)).size());
}

int TextArea::cursor_row() {
  return row_of(rows_for(std::max(1, size().width)), cursor_);
}

bool TextArea::move_vertically(int delta) {
  const auto& rows = rows_for(std::max(1, size().width));
  const int row = row_of(rows, cursor_);
  const int target = row + delta;
  if (target < 0 || target >= static_cast<int>(rows.size())) return false;
  if (goal_cells_ < 0) goal_cells_ = cells_before(rows[static_cast<std::size_t>(row)], cursor_);
  cursor_ = position_at(rows[static_cast<std::size_t>(target)], goal_cells_);
  return true;
}

void TextArea::changed() {
  rows_stale_ = true;
  if (!is_mounted()) return;
  const int width = size().width;
  const int rows = width > 0 ? static_cast<int>(rows_for(width).size()) : 1;
  if (width > 0 && std::clamp(rows, 1, max_rows_) != size().height) {
    relayout();  // the field grows or shrinks with its rows
  } else {
    refresh();
  }
}

int TextArea::content_height(int width) {
  const int rows = static_cast<int>(rows_for(std::max(1, width)).size());
  return std::clamp(rows, 1, max_rows_);
}

void TextArea::on_mouse_down(MouseEvent& event) {
  const auto& rows = rows_for(std::max(1, size().width));
  const int row = std::clamp(top_ + event.y, 0, static_cast<int>(rows.size()) - 1);
  cursor_ = position_at(rows[static_cast<std::size_t>(row)], std::max(0, event.x - indent()));
  goal_cells_ = -1;
  refresh();
}

Strip TextArea::render_line(int y) {
  const auto& rows = rows_for(std::max(1, size().width));
  const int total = static_cast<int>(rows.size());
  const int height = std::max(1, size().height);
  const int cursor_at = row_of(rows, cursor_);
  if (cursor_at < top_) top_ = cursor_at;
  if (cursor_at >= top_ + height) top_ = cursor_at - height + 1;
  top_ = std::clamp(top_, 0, std::max(0, total - height));
  const int r = top_ + y;
  if (r < 0 || r >= total) return {};

  styled::Line line;
  if (r == 0) {
    if (!prompt_.empty()) line.push(prompt_, prompt_style_);
  } else if (indent() > 0) {
    line.push(std::string(static_cast<std::size_t>(indent()), ' '), {});
  }
  if (text_.empty()) {
    line.push(" ", AREA_CURSOR, 1);
    if (!placeholder_.empty()) line.push(placeholder_, DIM);
    return Strip(std::move(line));
  }
  const Row& row = rows[static_cast<std::size_t>(r)];
  const bool has_cursor = r == cursor_at;
  // Plain characters are pushed in runs; tabs, folded pastes and the cursor break a run.
  std::size_t run = row.begin;
  auto flush = [&](std::size_t to) {
    if (to > run) line.push(std::string_view(text_).substr(run, to - run), {});
  };
  for (std::size_t p = row.begin; p < row.end;) {
    const Unit u = unit_at(p);
    const bool at_cursor = has_cursor && p == cursor_;
    if (at_cursor || u.folded || text_[p] == '\t') {
      flush(p);
      line.push(u.shown,
                at_cursor  ? AREA_CURSOR
                : u.folded ? FOLDED
                           : styled::Style{},
                static_cast<std::size_t>(u.width));
      run = p + u.len;
    }
    p += u.len;
  }
  flush(row.end);
  if (has_cursor && cursor_ == row.end) line.push(" ", AREA_CURSOR, 1);
  return Strip(std::move(line));
}

}  // namespace termui
