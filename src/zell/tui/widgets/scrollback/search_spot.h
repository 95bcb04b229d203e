#pragma once
// Where one of an entry's matches, counted in its text as searched, is drawn among its rows.
// The rows do not show that text as it is: they put marks and indentation before it, fold it
// at the width, cut long lines, repeat a part (an approval's command) or add words of their
// own (a plan item's priority, a tool call's "running"). So a match is not looked up by its
// place among the rows' matches: the text's matches and the rows' are paired in order, each
// pair agreeing on the text just around it, and a row match that agrees with none is passed
// over as the rows' own.

#include <cstddef>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "zell/tui/widgets/scrollback/search_match.h"

namespace zell::tui::widgets {

struct RowSpan {
  std::size_t row = 0;  // index into the rows given
  std::size_t begin = 0;
  std::size_t end = 0;
};
// A match is drawn on one row, or cut by a row's end: its start ends that row, the rest starts
// the next one (after its indentation).
struct DrawnMatch {
  RowSpan start;
  std::optional<RowSpan> rest;
};

// The row and bytes of match `ordinal` of `query` in `text`, found in `rows` (each row's text;
// a row given empty is left out); nullopt when the rows do not show it (folded away, cut off).
[[nodiscard]] std::optional<DrawnMatch> match_in_rows(const SearchQuery& query,
                                                      std::string_view text, std::size_t ordinal,
                                                      std::span<const std::string> rows);

}  // namespace zell::tui::widgets
