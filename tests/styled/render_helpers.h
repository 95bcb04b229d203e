#pragma once
// Reading rendered lines back as cells: the text of a row and the style at a column.

#include <string>
#include <vector>

#include "styled/console.h"
#include "unicode/width.h"

namespace styled::testing {

inline Style S(const char* s) {
  return Style::parse(s);
}

inline std::vector<std::string> texts(const Lines& lines) {
  std::vector<std::string> out;
  for (const Line& l : lines) out.push_back(l.text());
  return out;
}

// Style of the cell at `col` (0-based), or nullopt past the end.
inline std::optional<Style> style_at(const Line& line, std::size_t col) {
  std::size_t c = 0;
  for (const Segment& seg : line.segments) {
    for (std::size_t pos = 0; pos < seg.text.size();) {
      const unicode::Grapheme g = unicode::grapheme_at(seg.text, pos);
      if (col >= c && col < c + static_cast<std::size_t>(std::max(g.width, 1))) return seg.style;
      c += static_cast<std::size_t>(g.width);
      pos += g.len;
    }
  }
  return std::nullopt;
}

// Style of the first cell showing `needle` in the row.
inline std::optional<Style> style_of(const Line& line, std::string_view needle) {
  for (const Segment& seg : line.segments) {
    if (seg.text.find(needle) != std::string::npos) return seg.style;
  }
  return std::nullopt;
}

inline bool starts_with(const std::string& s, std::string_view p) {
  return s.rfind(p, 0) == 0;
}

}  // namespace styled::testing
