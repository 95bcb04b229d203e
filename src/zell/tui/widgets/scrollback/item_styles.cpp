#include "zell/tui/widgets/scrollback/item_styles.h"

#include <map>

namespace zell::tui::widgets {

const styled::Style& item_style(std::string_view literal) {
  static const std::map<std::string_view, styled::Style> styles = [] {
    std::map<std::string_view, styled::Style> m;
    for (std::string_view s :
         {"cyan", "dim italic cyan", "dim italic", "dim cyan", "bold #5f87ff", "dim",
          "bold #32cd32", "#32cd32", "dim #32cd32", "bold red", "dim #5f87ff", "dim red", "red",
          "bold yellow", "bold white", "dim yellow"}) {
      m.emplace(s, styled::Style::parse(s));
    }
    return m;
  }();
  return styles.at(literal);
}

}  // namespace zell::tui::widgets
