#include "termui/cell_buffer.h"

#include <algorithm>

#include "unicode/text_ops.h"
#include "unicode/utf8.h"
#include "unicode/width.h"

namespace termui {
CellBuffer::CellBuffer(Size size) {
  resize(size);
}

void CellBuffer::resize(Size size) {
  size_ = {std::max(0, size.width), std::max(0, size.height)};
  cells_.assign(static_cast<std::size_t>(size_.width) * static_cast<std::size_t>(size_.height),
                Cell{});
}

void CellBuffer::set(int x, int y, std::string_view text, styled::Style style, std::uint8_t width) {
  Cell& c = cells_[index(x, y)];
  c.text.assign(text);
  c.style = style;
  c.width = width;
}

void CellBuffer::unhook(int x, int y, int width) {
  const Cell& here = at(x, y);
  if (here.width == 0 && x > 0) {
    Cell& lead = cells_[index(x - 1, y)];
    lead.text.assign(1, ' ');
    lead.width = 1;
  }
  const int end = x + width;  // first column after the new glyph
  if (end < size_.width && at(end, y).width == 0) {
    Cell& tail = cells_[index(end, y)];
    tail.text.assign(1, ' ');
    tail.width = 1;
  }
}

void CellBuffer::put_cell(int x, int y, std::string_view grapheme, styled::Style style) {
  if (x < 0 || y < 0 || x >= size_.width || y >= size_.height) return;
  unhook(x, y, 1);
  set(x, y, grapheme, style.normalized(), 1);
}

int CellBuffer::put_text(int x, int y, std::string_view text, styled::Style style, int limit) {
  if (y < 0 || y >= size_.height) return x;
  limit = std::min(limit, size_.width);
  style = style.normalized();
  int last = -1;  // column of the last glyph written by this call, for combining marks
  std::string shown;
  for (std::size_t pos = 0; pos < text.size() && x < limit;) {
    const auto b = static_cast<unsigned char>(text[pos]);
    if (b >= 0x20 && b < 0x7f && x >= 0 &&
        (pos + 1 >= text.size() || static_cast<unsigned char>(text[pos + 1]) < 0x80)) {
      // Printable ASCII not followed by a combining mark: one cell, no lookup needed.
      unhook(x, y, 1);
      set(x, y, text.substr(pos, 1), style, 1);
      last = x++;
      ++pos;
      continue;
    }
    const unicode::Grapheme g = unicode::grapheme_at(text, pos);
    std::string_view cluster = text.substr(pos, g.len);
    pos += g.len;
    int w = g.width;
    const char32_t first = unicode::decode_at(cluster, 0).cp;
    if (first == U'\t' || first == U'\n' || first == U'\r') {
      cluster = " ";
      w = 1;
    } else if (unicode::is_control(first) || !unicode::is_valid(cluster)) {
      shown = unicode::visible_controls(cluster);
      cluster = shown;
      w = static_cast<int>(std::max<std::size_t>(1, unicode::str_width(shown)));
    }
    if (w == 0) {
      // A mark with nothing to sit on joins the glyph before it, or is dropped.
      if (last >= 0 && at(last, y).text.size() < 32) cells_[index(last, y)].text.append(cluster);
      continue;
    }
    if (x < 0) {  // left of the screen: skip, blanking a wide glyph cut in half
      x += w;
      if (x > 0 && x <= size_.width && w == 2) put_cell(0, y, " ", style);
      continue;
    }
    if (w == 2 && x + 1 >= limit) {
      put_cell(x, y, " ", style);  // no room for the second half
      ++x;
      break;
    }
    unhook(x, y, w);
    set(x, y, cluster, style, static_cast<std::uint8_t>(w));
    if (w == 2) set(x + 1, y, "", style, 0);
    last = x;
    x += w;
  }
  return x;
}

void CellBuffer::fill(const Region& r, styled::Style style) {
  const Region clip = r.intersect({0, 0, size_.width, size_.height});
  style = style.normalized();
  for (int y = clip.y; y < clip.y + clip.height; ++y) {
    if (clip.x > 0) unhook(clip.x, y, 0);
    if (clip.x + clip.width < size_.width) unhook(clip.x + clip.width, y, 0);
    for (int x = clip.x; x < clip.x + clip.width; ++x) {
      Cell& c = cells_[index(x, y)];
      if (c.width != 1 || c.text != " ") {
        c.text.assign(1, ' ');
        c.width = 1;
      }
      c.style = style;
    }
  }
}

void CellBuffer::copy_row(const CellBuffer& from, int y) {
  if (y < 0 || y >= size_.height || from.size_ != size_) return;
  const std::size_t start = index(0, y);
  std::copy(from.cells_.begin() + static_cast<std::ptrdiff_t>(start),
            from.cells_.begin() + static_cast<std::ptrdiff_t>(start + size_.width),
            cells_.begin() + static_cast<std::ptrdiff_t>(start));
}

bool CellBuffer::row_equals(int y, const CellBuffer& other, int other_y) const {
  if (other.size_.width != size_.width || y < 0 || other_y < 0 || y >= size_.height ||
      other_y >= other.size_.height) {
    return false;
  }
  const auto a = cells_.begin() + static_cast<std::ptrdiff_t>(index(0, y));
  const auto b = other.cells_.begin() + static_cast<std::ptrdiff_t>(other.index(0, other_y));
  return std::equal(a, a + size_.width, b);
}

void CellBuffer::scroll_up(int rows) {
  if (rows <= 0) return;
  rows = std::min(rows, size_.height);
  const auto shift = static_cast<std::ptrdiff_t>(index(0, rows));
  std::move(cells_.begin() + shift, cells_.end(), cells_.begin());
  std::fill(cells_.end() - shift, cells_.end(), Cell{});
}

std::string CellBuffer::row_text(int y) const {
  std::string out;
  for (int x = 0; x < size_.width; ++x) out += at(x, y).text;
  return out;
}

}  // namespace termui
