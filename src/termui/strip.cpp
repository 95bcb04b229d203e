#include "termui/strip.h"

namespace termui {

Strip::Strip(std::vector<styled::Segment> segments) {
  for (auto& s : segments) line_.push(s.text, s.style);
}

Strip Strip::crop(int width) const {
  Strip s = *this;
  styled::crop_line(s.line_, static_cast<std::size_t>(width < 0 ? 0 : width));
  return s;
}

Strip Strip::pad(int width, const styled::Style& style) const {
  Strip s = *this;
  styled::pad_line(s.line_, static_cast<std::size_t>(width < 0 ? 0 : width), style);
  return s;
}

}  // namespace termui
