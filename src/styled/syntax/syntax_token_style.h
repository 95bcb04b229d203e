#pragma once
// Internal to Syntax: the style of a token in a code theme.

#include <string>
#include <string_view>
#include <vector>

#include "styled/style.h"
#include "styled/syntax/syntax.h"

namespace styled {

// The style a token of class `element` (source-highlight's name: "keyword", "comment", ...)
// with text `text` gets in `theme`; keywords that bring names in from elsewhere ("import",
// "use", "#include", ...) are coloured apart.
[[nodiscard]] Style token_style(const CodeTheme& theme, std::string_view element,
                                std::string_view text);

// Every token class token_style gives a style of its own ("keyword" among them).
[[nodiscard]] std::vector<std::string_view> styled_token_classes();

}  // namespace styled
