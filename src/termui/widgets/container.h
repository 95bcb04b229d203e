#pragma once
// Container: lays its children out (vertically, per its CSS) and draws nothing of its own.

#include <memory>
#include <string>
#include <utility>

#include "termui/widget.h"

namespace termui {

class Container : public Widget {
 public:
  static constexpr std::string_view DEFAULT_CSS = "Container { height: 1fr; layout: vertical; }";

  explicit Container(std::string id = {}) : Widget(std::move(id)) {}
  template <typename... Children>
  explicit Container(std::string id, std::unique_ptr<Children>... children)
      : Widget(std::move(id)) {
    (mount(std::unique_ptr<Widget>(std::move(children))), ...);
  }

  [[nodiscard]] std::vector<std::string_view> css_sources() const override { return {DEFAULT_CSS}; }
};

}  // namespace termui
