#pragma once
// Static: a block of markup text, word-wrapped at its width; `update` replaces it.

#include <string>
#include <string_view>
#include <vector>

#include "styled/text.h"
#include "termui/widget.h"

namespace termui {

class Static : public Widget {
 public:
  static constexpr std::string_view DEFAULT_CSS = "Static { height: auto; }";

  explicit Static(std::string_view markup = {}, std::string id = {});

  [[nodiscard]] std::vector<std::string_view> css_sources() const override { return {DEFAULT_CSS}; }

  // Replaces the content with `markup` (read as markup) and repaints.
  void update(std::string_view markup);
  // Replaces the content with an already styled text.
  void update(styled::Text text);
  [[nodiscard]] const styled::Text& content() const { return text_; }

  [[nodiscard]] Strip render_line(int y) override;
  [[nodiscard]] int content_height(int width) override;

 private:
  const std::vector<Strip>& rendered(int width);

  styled::Text text_;
  std::vector<Strip> lines_;
  int rendered_width_ = -1;
};

}  // namespace termui
