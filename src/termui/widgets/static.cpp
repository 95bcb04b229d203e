#include "termui/widgets/static.h"

namespace termui {

Static::Static(std::string_view markup, std::string id)
    : Widget(std::move(id)), text_(styled::Text::from_markup(markup)) {}

void Static::update(std::string_view markup) {
  update(styled::Text::from_markup(markup));
}

void Static::update(styled::Text text) {
  text_ = std::move(text);
  rendered_width_ = -1;
  relayout();  // an auto height follows the new content
}

const std::vector<Strip>& Static::rendered(int width) {
  if (width != rendered_width_) {
    lines_.clear();
    if (width > 0) {
      for (auto& line : text_.wrap(width)) lines_.emplace_back(std::move(line));
    }
    rendered_width_ = width;
  }
  return lines_;
}

Strip Static::render_line(int y) {
  const auto& lines = rendered(size().width);
  if (y < 0 || y >= static_cast<int>(lines.size())) return {};
  return lines[static_cast<std::size_t>(y)];
}

int Static::content_height(int width) {
  if (width <= 0) return 0;
  return static_cast<int>(rendered(width).size());
}

}  // namespace termui
