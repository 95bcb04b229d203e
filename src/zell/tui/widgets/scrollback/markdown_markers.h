#pragma once
// Whether an answer is drawn as Markdown: it holds a code fence, "###", "**", "- ", "1. " or
// any backtick.

#include <string_view>

namespace zell::tui::widgets {

[[nodiscard]] bool has_markdown(std::string_view text);

}  // namespace zell::tui::widgets
