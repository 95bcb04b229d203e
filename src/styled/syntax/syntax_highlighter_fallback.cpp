// The highlighter without the fast path: source-highlight's own SourceHighlighter, which any
// version of the library serves alike.

#include "styled/syntax/syntax_highlighter.h"

#include <utility>

#include "styled/syntax/syntax_srchilite_highlight.h"

namespace styled::syntax_highlighter {

struct CodeHighlighter::Workspaces {};

CodeHighlighter::CodeHighlighter(srchilite::HighlightStatePtr definition)
    : definition_(std::move(definition)) {}

CodeHighlighter::~CodeHighlighter() = default;

Text CodeHighlighter::highlight(const std::string& code, const CodeTheme& theme) const {
  return syntax_library::highlight(code, definition_, theme);
}

}  // namespace styled::syntax_highlighter
