#pragma once
// The styles of the transcript's items (prompts, info and error lines, thinking, tool calls,
// diffs, approval prompt, turn summary), parsed once from their style strings.

#include <string_view>

#include "styled/style.h"

namespace zell::tui::widgets {

// The parsed form of one of the items' style strings. Asking for a string that is not in the
// table is a programming error (std::out_of_range).
[[nodiscard]] const styled::Style& item_style(std::string_view literal);

}  // namespace zell::tui::widgets
