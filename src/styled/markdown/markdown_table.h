#pragma once
// Internal to Markdown: GFM tables fitted to a width, drawn with box-drawing borders.

#include <cstdint>
#include <vector>

#include "styled/segment.h"
#include "styled/text.h"

namespace styled::markdown_detail {

struct Table {
  std::vector<std::vector<Text>> rows;  // the first `header_rows` rows are the header
  std::size_t header_rows = 0;
  std::vector<std::uint8_t> align;  // per column: 'l', 'c', 'r' or 0
};

struct TableStyles {
  Style border;
  Style header;
};

// Appends the table's rows at `width` cells. Columns share the width by their content; when
// not even one cell per column fits, the columns that do not fit are left out.
void render_table(const Table& table, int width, const TableStyles& styles, Lines& out);

}  // namespace styled::markdown_detail
