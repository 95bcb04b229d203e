#include "styled/markdown/markdown_table.h"

#include <algorithm>
#include <numeric>

#include "unicode/width.h"

namespace styled::markdown_detail {

namespace {

// Widest word of a cell: the narrowest the column can be without folding words.
std::size_t widest_word(const std::string& s) {
  return unicode::widest_piece_width(s, " \n");
}

struct Box {
  const char* left;
  const char* fill;
  const char* mid;
  const char* right;
};
constexpr Box TOP = {"┏", "━", "┳", "┓"};
constexpr Box HEAD = {"┃", " ", "┃", "┃"};
constexpr Box HEAD_SEP = {"┡", "━", "╇", "┩"};
constexpr Box BODY = {"│", " ", "│", "│"};
constexpr Box BOTTOM = {"└", "─", "┴", "┘"};
constexpr Box TOP_NO_HEAD = {"┌", "─", "┬", "┐"};

std::string repeat(const char* s, std::size_t n) {
  std::string out;
  out.reserve(n * 3);
  for (std::size_t i = 0; i < n; ++i) out += s;
  return out;
}

void rule_line(const Box& box, const std::vector<std::size_t>& widths, const Style& style,
               Lines& out) {
  Line line;
  std::string s = box.left;
  std::size_t cells = 1;
  for (std::size_t c = 0; c < widths.size(); ++c) {
    s += repeat(box.fill, widths[c] + 2);
    s += c + 1 < widths.size() ? box.mid : box.right;
    cells += widths[c] + 3;
  }
  line.push(s, style, cells);
  out.push_back(std::move(line));
}

// Distributes `room` cells over the columns: natural widths when they fit, else at least
// each column's widest word where possible, the rest in proportion to what each still wants.
std::vector<std::size_t> fit_columns(const std::vector<std::size_t>& natural,
                                     const std::vector<std::size_t>& minimum, std::size_t room) {
  const std::size_t n = natural.size();
  const std::size_t total = std::accumulate(natural.begin(), natural.end(), std::size_t{0});
  if (total <= room) return natural;
  std::vector<std::size_t> w(n);
  std::size_t min_total = 0;
  for (std::size_t i = 0; i < n; ++i) {
    w[i] = std::max<std::size_t>(1, std::min(minimum[i], natural[i]));
    min_total += w[i];
  }
  if (min_total > room) {
    // Even the words do not fit: share the room in proportion to the natural widths.
    std::size_t used = 0;
    for (std::size_t i = 0; i < n; ++i) {
      w[i] = std::max<std::size_t>(1, natural[i] * room / std::max<std::size_t>(total, 1));
      used += w[i];
    }
    for (std::size_t i = 0; used > room && i < n; ++i) {
      while (w[i] > 1 && used > room) {
        --w[i];
        --used;
      }
    }
    return w;
  }
  const std::size_t spare = room - min_total;
  std::size_t want_total = 0;
  for (std::size_t i = 0; i < n; ++i) want_total += natural[i] - w[i];
  std::size_t given = 0;
  for (std::size_t i = 0; i < n; ++i) {
    const std::size_t add = want_total == 0 ? 0 : (natural[i] - w[i]) * spare / want_total;
    w[i] += add;
    given += add;
  }
  for (std::size_t i = 0; given < spare && i < n; ++i) {
    if (w[i] < natural[i]) {
      ++w[i];
      ++given;
    }
  }
  return w;
}

}  // namespace

void render_table(const Table& table, int width_in, const TableStyles& styles, Lines& out) {
  std::size_t ncols = table.align.size();
  for (const auto& row : table.rows) ncols = std::max(ncols, row.size());
  if (ncols == 0) return;
  const auto width = static_cast<std::size_t>(std::max(width_in, 1));
  // Each column needs 3 cells of border and padding plus one of content, and the table one
  // more for its left edge; columns beyond that are left out.
  const std::size_t shown = std::min(ncols, width >= 5 ? (width - 1) / 4 : 1);
  std::vector<std::size_t> natural(shown, 1), minimum(shown, 1);
  for (const auto& row : table.rows) {
    for (std::size_t c = 0; c < shown && c < row.size(); ++c) {
      natural[c] = std::max(natural[c], row[c].cell_length());
      minimum[c] = std::max(minimum[c], widest_word(row[c].plain()));
    }
  }
  const std::size_t borders = 3 * shown + 1;
  const std::size_t room = width > borders ? width - borders : shown;
  const std::vector<std::size_t> widths = fit_columns(natural, minimum, room);

  const bool has_header = table.header_rows > 0;
  rule_line(has_header ? TOP : TOP_NO_HEAD, widths, styles.border, out);
  const Text empty;
  for (std::size_t r = 0; r < table.rows.size(); ++r) {
    const bool header = r < table.header_rows;
    const Box& box = header ? HEAD : BODY;
    const auto& row = table.rows[r];
    std::vector<Lines> cells(shown);
    std::size_t height = 1;
    for (std::size_t c = 0; c < shown; ++c) {
      Text cell = c < row.size() ? row[c] : empty;
      if (header) cell.set_base_style(styles.header + cell.base_style());
      const std::uint8_t a = c < table.align.size() ? table.align[c] : 0;
      cell.set_justify(a == 'c' ? Justify::center : (a == 'r' ? Justify::right : Justify::left));
      cell.wrap_into(static_cast<int>(widths[c]), cells[c]);
      height = std::max(height, cells[c].size());
    }
    for (std::size_t y = 0; y < height; ++y) {
      Line line;
      line.push(box.left, styles.border, 1);
      for (std::size_t c = 0; c < shown; ++c) {
        line.push(" ", Style(), 1);
        if (y < cells[c].size()) {
          Line& part = cells[c][y];
          crop_line(part, widths[c]);
          line.append(part);
        }
        pad_line(line,
                 line.cells + (widths[c] -
                               std::min(widths[c], y < cells[c].size() ? cells[c][y].cells : 0)));
        line.push(" ", Style(), 1);
        line.push(c + 1 < shown ? box.mid : box.right, styles.border, 1);
      }
      out.push_back(std::move(line));
    }
    if (header && r + 1 == table.header_rows && r + 1 < table.rows.size()) {
      rule_line(HEAD_SEP, widths, styles.border, out);
    }
  }
  rule_line(BOTTOM, widths, styles.border, out);
}

}  // namespace styled::markdown_detail
