#include "styled/theme.h"

namespace styled {

Theme::Theme(std::initializer_list<std::pair<std::string_view, std::string_view>> styles) {
  for (const auto& [name, style] : styles) set(name, Style::parse(style));
}

void Theme::set(std::string_view name, const Style& style) {
  auto it = styles_.find(name);
  if (it != styles_.end()) {
    it->second = style;
  } else {
    styles_.emplace(std::string(name), style);
  }
}

std::optional<Style> Theme::get(std::string_view name) const {
  auto it = styles_.find(name);
  if (it == styles_.end()) return std::nullopt;
  return it->second;
}

const Theme& Theme::default_theme() {
  static const Theme theme{
      {"none", "none"},
      {"markdown.paragraph", "none"},
      {"markdown.text", "none"},
      {"markdown.em", "italic"},
      {"markdown.emph", "italic"},
      {"markdown.strong", "bold"},
      {"markdown.s", "strike"},
      {"markdown.code", "bold cyan on black"},
      {"markdown.code_inline", "bold cyan on black"},
      {"markdown.code_block", "cyan on black"},
      {"markdown.block_quote", "magenta"},
      {"markdown.list", "cyan"},
      {"markdown.item", "none"},
      {"markdown.item.bullet", "bold yellow"},
      {"markdown.item.number", "bold yellow"},
      {"markdown.hr", "yellow"},
      {"markdown.h1.border", "none"},
      {"markdown.h1", "bold"},
      {"markdown.h2", "bold underline"},
      {"markdown.h3", "bold"},
      {"markdown.h4", "bold dim"},
      {"markdown.h5", "underline"},
      {"markdown.h6", "italic"},
      {"markdown.h7", "italic dim"},
      {"markdown.link", "bright_blue"},
      {"markdown.link_url", "underline blue"},
      {"markdown.table.border", "none"},
      {"markdown.table.header", "bold"},
      {"markdown.html", "dim"},
  };
  return theme;
}

}  // namespace styled
