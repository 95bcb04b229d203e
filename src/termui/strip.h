#pragma once
// A Strip is one row of a widget: segments plus their length in cells. A value type; widgets
// keep rendered strips so a repaint only copies them into cells.

#include <string>
#include <vector>

#include "styled/segment.h"

namespace termui {

class Strip {
 public:
  Strip() = default;
  explicit Strip(std::vector<styled::Segment> segments);
  explicit Strip(styled::Line line) : line_(std::move(line)) {}

  [[nodiscard]] const std::vector<styled::Segment>& segments() const { return line_.segments; }
  [[nodiscard]] int cell_length() const { return static_cast<int>(line_.cells); }
  // The concatenation of the segments' texts.
  [[nodiscard]] std::string text() const { return line_.text(); }
  [[nodiscard]] const styled::Line& line() const { return line_; }

  // Cut to at most `width` cells / padded with spaces in `style` to at least `width` cells.
  [[nodiscard]] Strip crop(int width) const;
  [[nodiscard]] Strip pad(int width, const styled::Style& style = {}) const;

  friend bool operator==(const Strip& a, const Strip& b) {
    return a.line_.segments == b.line_.segments;
  }

 private:
  styled::Line line_;
};

}  // namespace termui
