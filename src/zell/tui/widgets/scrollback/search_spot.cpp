#include "zell/tui/widgets/scrollback/search_spot.h"

#include <algorithm>
#include <vector>

namespace zell::tui::widgets {
namespace {

// How much of the text on each side of a match is compared.
constexpr std::size_t CONTEXT_BYTES = 8;

struct Around {
  std::string_view before;  // up to the match, from the start of its line
  std::string_view after;   // from the match to the end of its line
};

Around around(std::string_view line_text, std::size_t line_start, std::size_t begin,
              std::size_t end, std::size_t line_end) {
  const std::size_t from = std::max(line_start, begin >= CONTEXT_BYTES ? begin - CONTEXT_BYTES : 0);
  const std::size_t to = std::min(line_end, end + CONTEXT_BYTES);
  return {line_text.substr(from, begin - from), line_text.substr(end, to - end)};
}

// Nothing but indentation and the marks rows start with (tree connectors, bullets): a row
// that wrapped or a line's first row.
bool only_row_marks(std::string_view s) {
  return std::none_of(s.begin(), s.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u > 0x20 && u < 0x7f;
  });
}

bool agree(const Around& in_text, const Around& in_row) {
  // A row ends where the line does, or earlier (a fold at the width, a cut): one side's text
  // after the match starts the other's.
  const std::size_t n = std::min(in_text.after.size(), in_row.after.size());
  if (in_text.after.substr(0, n) != in_row.after.substr(0, n)) return false;
  // Before the match, the row holds the line's end of it, or only its own marks.
  return in_row.before.ends_with(in_text.before) || in_text.before.ends_with(in_row.before) ||
         only_row_marks(in_row.before);
}

std::string_view without_padding(std::string_view s) {
  const std::size_t last = s.find_last_not_of(' ');
  return last == std::string_view::npos ? std::string_view() : s.substr(0, last + 1);
}

// The match `m` cut by the end of a row at or after `from`: the row ends with its start, the
// next row starts with the rest. The space a row is folded at is not drawn on either row.
std::optional<DrawnMatch> cut_by_row_end(std::string_view m, std::span<const std::string> rows,
                                         std::size_t from) {
  for (std::size_t r = from; r + 1 < rows.size(); ++r) {
    const std::string_view row = without_padding(rows[r]);
    const std::string_view next = rows[r + 1];
    const std::size_t indent = std::min(next.find_first_not_of(' '), next.size());
    for (std::size_t n = 1; n < m.size(); ++n) {
      std::string_view head = m.substr(0, n);
      std::string_view tail = m.substr(n);
      if (tail.starts_with(' '))
        tail.remove_prefix(1);
      else if (head.ends_with(' '))
        head.remove_suffix(1);
      if (head.empty() || tail.empty() || !row.ends_with(head) ||
          !next.substr(indent).starts_with(tail)) {
        continue;
      }
      return DrawnMatch{{r, row.size() - head.size(), row.size()},
                        RowSpan{r + 1, indent, indent + tail.size()}};
    }
  }
  return std::nullopt;
}

}  // namespace

std::optional<DrawnMatch> match_in_rows(const SearchQuery& query, std::string_view text,
                                        std::size_t ordinal, std::span<const std::string> rows) {
  struct Seen {
    RowSpan span;
    Around around;
  };
  std::vector<Seen> drawn;
  for (std::size_t r = 0; r < rows.size(); ++r) {
    const std::string_view row = without_padding(rows[r]);
    query.for_each_match(row, [&](std::size_t b, std::size_t e) {
      drawn.push_back({{r, b, e}, around(row, 0, b, e, row.size())});
    });
  }
  std::size_t next = 0;  // the first row match not paired yet
  std::size_t k = 0;
  std::optional<DrawnMatch> found;
  bool done = false;
  query.for_each_match(text, [&](std::size_t b, std::size_t e) {
    if (done) return;
    const std::size_t line_start = b == 0 ? 0 : text.rfind('\n', b - 1) + 1;
    const std::size_t line_end = std::min(text.find('\n', e), text.size());
    const Around here = around(text, line_start, b, e, line_end);
    std::size_t j = next;
    while (j < drawn.size() && !agree(here, drawn[j].around)) ++j;
    // A match the rows do not show leaves the rows' matches for the ones after it.
    if (j < drawn.size()) next = j + 1;
    if (k++ == ordinal) {
      done = true;
      if (j < drawn.size()) {
        found = DrawnMatch{drawn[j].span, std::nullopt};
      } else {
        // Looked for from the row of the last match paired before it.
        const std::size_t from = next > 0 ? drawn[next - 1].span.row : 0;
        found = cut_by_row_end(text.substr(b, e - b), rows, from);
      }
    }
  });
  return found;
}

}  // namespace zell::tui::widgets
