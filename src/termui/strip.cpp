#include "termui/strip.h"

namespace termui {

Strip::Strip(std::vector<styled::Segment> segments) {
  styled::Line line;
  for (auto& s : segments) line.push(s.text, s.style);
  line_ = std::make_shared<const styled::Line>(std::move(line));
}

const styled::Line& Strip::empty_line() {
  static const styled::Line empty;
  return empty;
}

Strip Strip::crop(int width) const {
  const auto w = static_cast<std::size_t>(width < 0 ? 0 : width);
  if (line().cells <= w) return *this;
  styled::Line line = this->line();
  styled::crop_line(line, w);
  return Strip(std::move(line));
}

Strip Strip::pad(int width, const styled::Style& style) const {
  const auto w = static_cast<std::size_t>(width < 0 ? 0 : width);
  if (line().cells >= w) return *this;
  styled::Line line = this->line();
  styled::pad_line(line, w, style);
  return Strip(std::move(line));
}

}  // namespace termui
