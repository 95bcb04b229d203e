#pragma once
// Internal to Syntax: highlights code with one loaded definition.
//
// Two implementations, chosen when the build is configured: with the source-highlight version
// the fast path was checked against, it drives the definition's states itself, with
// hand-written matchers and a per-line memory of each rule's next match
// (syntax_highlighter_fast.cpp); with any other version, the library's own SourceHighlighter
// does the work (syntax_highlighter_library.cpp), so an upgrade may slow highlighting but can
// neither change nor break it.

#include <srchilite/highlightstate.h>

#include <memory>
#include <string>

#include "styled/syntax/syntax.h"
#include "styled/text.h"

namespace styled::syntax_highlighter {

class CodeHighlighter {
 public:
  explicit CodeHighlighter(srchilite::HighlightStatePtr definition);
  ~CodeHighlighter();
  CodeHighlighter(const CodeHighlighter&) = delete;
  CodeHighlighter& operator=(const CodeHighlighter&) = delete;

  // `code` as styled text, line by line. Safe to call from several threads at once. Throws
  // std::runtime_error when the regular expression library gives up on a line.
  [[nodiscard]] Text highlight(const std::string& code, const CodeTheme& theme) const;

  // The definition's main state.
  [[nodiscard]] const srchilite::HighlightStatePtr& definition() const { return definition_; }

 private:
  struct Workspaces;  // what a highlighting run needs, kept for the next run
  srchilite::HighlightStatePtr definition_;
  std::unique_ptr<Workspaces> workspaces_;
};

}  // namespace styled::syntax_highlighter
