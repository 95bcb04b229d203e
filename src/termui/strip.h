#pragma once
// A Strip is one row of a widget: segments plus their length in cells. A value type whose line
// is immutable and shared, so that copying a strip (a log redrawing lines it drew before, the
// compositor keeping what it painted) costs a reference count, not the segments.

#include <memory>
#include <string>
#include <vector>

#include "styled/segment.h"

namespace termui {

class Strip {
 public:
  Strip() = default;
  explicit Strip(std::vector<styled::Segment> segments);
  explicit Strip(styled::Line line)
      : line_(std::make_shared<const styled::Line>(std::move(line))) {}

  [[nodiscard]] const std::vector<styled::Segment>& segments() const { return line().segments; }
  [[nodiscard]] int cell_length() const { return static_cast<int>(line().cells); }
  // The concatenation of the segments' texts.
  [[nodiscard]] std::string text() const { return line().text(); }
  [[nodiscard]] const styled::Line& line() const { return line_ ? *line_ : empty_line(); }

  // Cut to at most `width` cells / padded with spaces in `style` to at least `width` cells.
  [[nodiscard]] Strip crop(int width) const;
  [[nodiscard]] Strip pad(int width, const styled::Style& style = {}) const;

  friend bool operator==(const Strip& a, const Strip& b) {
    return a.line_ == b.line_ || a.segments() == b.segments();
  }

 private:
  static const styled::Line& empty_line();

  std::shared_ptr<const styled::Line> line_;  // null for the empty strip
};

}  // namespace termui
