#include "styled/syntax/syntax_srchilite_highlight.h"

#include <srchilite/formatter.h>
#include <srchilite/formattermanager.h>
#include <srchilite/formatterparams.h>
#include <srchilite/sourcehighlighter.h>

#include <string_view>
#include <utility>

#include "styled/syntax/syntax_lines.h"
#include "styled/syntax/syntax_token_style.h"

namespace styled::syntax_library {

namespace {

// Appends the tokens of one token class to the text being built, in the class's style.
class TokenFormatter : public srchilite::Formatter {
 public:
  TokenFormatter(Text& out, const CodeTheme& theme, std::string_view element)
      : out_(out), theme_(theme), element_(element), style_(token_style(theme, element, "")) {}
  void format(const std::string& s, const srchilite::FormatterParams*) override {
    // A keyword's style depends on the word.
    out_.append(s, element_ == "keyword" ? token_style(theme_, element_, s) : style_);
  }

 private:
  Text& out_;
  const CodeTheme& theme_;
  std::string_view element_;
  Style style_;
};

}  // namespace

Text highlight(const std::string& code, const srchilite::HighlightStatePtr& state,
               const CodeTheme& theme) {
  Text out;
  srchilite::FormatterManager formatters(
      srchilite::FormatterPtr(new TokenFormatter(out, theme, "normal")));
  for (const std::string_view element : styled_token_classes()) {
    formatters.addFormatter(std::string(element),
                            srchilite::FormatterPtr(new TokenFormatter(out, theme, element)));
  }
  srchilite::SourceHighlighter highlighter(state);
  highlighter.setFormatterManager(&formatters);
  highlighter.setOptimize(true);  // adjacent text of one class arrives as one piece
  srchilite::FormatterParams params;
  highlighter.setFormatterParams(&params);
  syntax_lines::for_each_line(code, [&](std::string_view line, bool more) {
    params.start = 0;
    highlighter.highlightParagraph(std::string(line));
    if (more) out.append("\n");
  });
  return out;
}

}  // namespace styled::syntax_library
