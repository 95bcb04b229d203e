#pragma once
// A grid of cells: one grapheme, its style and its width per cell. A wide glyph takes two cells:
// the first holds it (width 2), the second is its trailing half (empty text, width 0). Writing
// over either half of a wide glyph blanks the other half, so the grid never holds half a glyph.
// No cell ever holds a control character: they are shown as visible symbols.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "styled/style.h"
#include "termui/geometry.h"

namespace termui {

struct Cell {
  std::string text = " ";  // one grapheme cluster; empty for the trailing half of a wide glyph
  styled::Style style;     // normalized, so equal looks compare equal
  std::uint8_t width = 1;  // 1, 2, or 0 for a trailing half

  [[nodiscard]] bool is_blank() const { return width == 1 && text == " " && style.is_null(); }
  friend bool operator==(const Cell&, const Cell&) = default;
};

class CellBuffer {
 public:
  explicit CellBuffer(Size size = {});

  void resize(Size size);  // every cell blank again
  [[nodiscard]] Size size() const { return size_; }
  [[nodiscard]] int width() const { return size_.width; }
  [[nodiscard]] int height() const { return size_.height; }

  [[nodiscard]] const Cell& at(int x, int y) const { return cells_[index(x, y)]; }

  // Writes `text` from column x of row y, no further than column `limit` (exclusive; clamped to
  // the width). Returns the column after the last cell written.
  int put_text(int x, int y, std::string_view text, styled::Style style, int limit);
  // Sets one cell to a single-width grapheme (used for borders and scroll bars).
  void put_cell(int x, int y, std::string_view grapheme, styled::Style style);
  // Fills cells of the region with spaces in `style`.
  void fill(const Region& region, styled::Style style);

  // Copies row y from a buffer of the same width.
  void copy_row(const CellBuffer& from, int y);
  // Whether our row y holds the same cells as row `other_y` of `other` (same width).
  [[nodiscard]] bool row_equals(int y, const CellBuffer& other, int other_y) const;
  // Moves every row up by `rows`, as a terminal scrolls: the bottom rows become blank.
  void scroll_up(int rows);

  // The row's text, a trailing half contributing nothing (for tests and the Pilot).
  [[nodiscard]] std::string row_text(int y) const;

 private:
  [[nodiscard]] std::size_t index(int x, int y) const {
    return static_cast<std::size_t>(y) * static_cast<std::size_t>(size_.width) +
           static_cast<std::size_t>(x);
  }
  // Makes room at x for a glyph of `width` cells, blanking halves of wide glyphs it cuts.
  void unhook(int x, int y, int width);
  void set(int x, int y, std::string_view text, styled::Style style, std::uint8_t width);

  Size size_{};
  std::vector<Cell> cells_;
};

}  // namespace termui
