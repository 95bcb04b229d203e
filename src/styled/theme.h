#pragma once
// Theme = style name → Style. Renderers ask for roles by name ("markdown.code"); the Console
// resolves them through its theme stack, top first, then the default theme.
//
//   Theme custom({{"markdown.code", "#d72b6b on #2a2a2a"}, {"markdown.h1", "bold white"}});
//   console.push_theme(custom);
//   Theme::default_theme().get("markdown.em")   // italic

#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "styled/style.h"

namespace styled {

class Theme {
 public:
  Theme() = default;
  // Each entry's style string is parsed now (an unknown word throws std::invalid_argument).
  Theme(std::initializer_list<std::pair<std::string_view, std::string_view>> styles);

  void set(std::string_view name, const Style& style);
  [[nodiscard]] std::optional<Style> get(std::string_view name) const;
  [[nodiscard]] std::size_t size() const { return styles_.size(); }

  // The library's own styles (markdown.*, and the rest every renderer relies on).
  [[nodiscard]] static const Theme& default_theme();

 private:
  struct Hash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const noexcept {
      return std::hash<std::string_view>{}(s);
    }
  };
  std::unordered_map<std::string, Style, Hash, std::equal_to<>> styles_;
};

}  // namespace styled
