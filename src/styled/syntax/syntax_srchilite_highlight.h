#pragma once
// Internal to Syntax: code highlighted by source-highlight's own SourceHighlighter, through
// formatters that turn each token class into a Style. The highlighter uses it when the fast
// path is not built; the tests compare the fast path with it when it is.

#include <srchilite/highlightstate.h>

#include <string>

#include "styled/syntax/syntax.h"
#include "styled/text.h"

namespace styled::syntax_library {

[[nodiscard]] Text highlight(const std::string& code, const srchilite::HighlightStatePtr& state,
                             const CodeTheme& theme);

}  // namespace styled::syntax_library
