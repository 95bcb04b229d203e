#pragma once
// Segment = a piece of text in one Style; Line = the segments of one rendered row together with
// the number of terminal cells they take; Lines = what a renderable produces at a width.
//
//   Line line;
//   line.push("  ", Style{});                    // measures the text
//   line.push("●", Style::parse("bold"), 1);     // or takes a known width
//   line.text()                                  // concatenated segment texts
//   pad_line(line, 80);                          // spaces up to 80 cells

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "styled/style.h"

namespace styled {

struct Segment {
  std::string text;
  Style style;

  [[nodiscard]] std::size_t cell_length() const;
  friend bool operator==(const Segment&, const Segment&) = default;
};

struct Line {
  std::vector<Segment> segments;
  std::size_t cells = 0;  // sum of the segments' cell lengths

  void push(std::string_view text, const Style& style);
  void push(std::string_view text, const Style& style, std::size_t width);
  // Appends the segments of `other` (same style kept per segment).
  void append(const Line& other);
  [[nodiscard]] std::string text() const;
};

using Lines = std::vector<Line>;

// Adds spaces in `style` until the line is `width` cells wide (nothing when it is wider).
void pad_line(Line& line, std::size_t width, const Style& style = {});

// Cuts the line to at most `width` cells; a wide character that would straddle the edge is
// replaced by a space.
void crop_line(Line& line, std::size_t width);

}  // namespace styled
