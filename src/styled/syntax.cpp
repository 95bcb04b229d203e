#include "styled/syntax.h"

#include <srchilite/formatter.h>
#include <srchilite/formattermanager.h>
#include <srchilite/formatterparams.h>
#include <srchilite/sourcehighlighter.h>

#include <algorithm>
#include <array>
#include <boost/shared_ptr.hpp>
#include <map>
#include <memory>
#include <stdexcept>

#include "styled/console.h"
#include "styled/syntax_lines.h"
#include "styled/syntax_registry.h"

namespace styled {

namespace {

// Receives the tokens of one token class and appends them to the text being built.
class TokenFormatter : public srchilite::Formatter {
 public:
  TokenFormatter(Text*& out, Style style) : out_(out), style_(style) {}
  void format(const std::string& s, const srchilite::FormatterParams*) override {
    out_->append(s, style_);
  }

 private:
  Text*& out_;
  Style style_;
};

// Keywords that bring names in from elsewhere, which the theme colours apart.
bool is_import_keyword(std::string_view word) {
  static constexpr std::array<std::string_view, 10> IMPORTS = {
      "import", "from", "export",  "require", "include",
      "using",  "use",  "package", "extern",  "#include"};
  return std::find(IMPORTS.begin(), IMPORTS.end(), word) != IMPORTS.end();
}

// Keywords, import keywords apart.
class KeywordFormatter : public srchilite::Formatter {
 public:
  KeywordFormatter(Text*& out, Style keyword, Style import)
      : out_(out), keyword_(keyword), import_(import) {}
  void format(const std::string& s, const srchilite::FormatterParams*) override {
    out_->append(s, is_import_keyword(s) ? import_ : keyword_);
  }

 private:
  Text*& out_;
  Style keyword_, import_;
};

struct ClassStyle {
  std::string_view element;
  Style CodeTheme::*style;
};

constexpr std::array<ClassStyle, 28> CLASS_STYLES = {{
    {"comment", &CodeTheme::comment},
    {"todo", &CodeTheme::comment},
    {"type", &CodeTheme::type},
    {"usertype", &CodeTheme::type},
    {"preproc", &CodeTheme::import_keyword},
    {"symbol", &CodeTheme::operator_},
    {"function", &CodeTheme::function},
    {"classname", &CodeTheme::function},
    {"attribute", &CodeTheme::function},
    {"property", &CodeTheme::function},
    {"selector", &CodeTheme::tag},
    {"tag", &CodeTheme::tag},
    {"number", &CodeTheme::number},
    {"value", &CodeTheme::number},
    {"constant", &CodeTheme::number},
    {"string", &CodeTheme::string},
    {"regexp", &CodeTheme::string},
    {"specialchar", &CodeTheme::escape},
    {"oldfile", &CodeTheme::deleted},
    {"newfile", &CodeTheme::inserted},
    {"difflines", &CodeTheme::hunk},
    {"label", &CodeTheme::function},
    {"url", &CodeTheme::string},
    {"name", &CodeTheme::function},
    {"decorator", &CodeTheme::function},
    {"key", &CodeTheme::keyword},
    {"section", &CodeTheme::function},
    {"instruction", &CodeTheme::import_keyword},
}};

// The formatters of one theme, built once per thread and pointed at the text being built.
struct FormatterSet {
  Text* target = nullptr;
  srchilite::FormatterManager manager;

  explicit FormatterSet(const CodeTheme& theme)
      : manager(srchilite::FormatterPtr(new TokenFormatter(target, Style()))) {
    for (const ClassStyle& cs : CLASS_STYLES) {
      manager.addFormatter(std::string(cs.element),
                           srchilite::FormatterPtr(new TokenFormatter(target, theme.*cs.style)));
    }
    manager.addFormatter("keyword", srchilite::FormatterPtr(new KeywordFormatter(
                                        target, theme.keyword, theme.import_keyword)));
  }
};

// A wrapped row between `side` on both ends, padded to `width` cells, built in place: the
// segments Line::push and Line::append would give for side + row + padding + side, with
// neighbours of one style merged, without moving the row into a new line.
void frame_row(Line& row, std::string_view side, std::size_t width, const Style& bg) {
  std::vector<Segment>& segs = row.segments;
  std::size_t keep = 0;
  for (std::size_t i = 0; i < segs.size(); ++i) {
    if (keep > 0 && segs[keep - 1].style == segs[i].style) {
      segs[keep - 1].text += segs[i].text;
    } else {
      if (keep != i) segs[keep] = std::move(segs[i]);
      ++keep;
    }
  }
  segs.resize(keep);
  if (!side.empty()) {
    if (!segs.empty() && segs.front().style == bg) {
      segs.front().text.insert(0, side);
    } else {
      segs.insert(segs.begin(), Segment{std::string(side), bg});
    }
    row.cells += side.size();
  }
  pad_line(row, width, bg);
  row.push(side, bg, side.size());
}

FormatterSet& formatters_for(const CodeTheme& theme) {
  thread_local std::map<const CodeTheme*, std::unique_ptr<FormatterSet>> sets;
  auto& slot = sets[&theme];
  if (!slot) slot = std::make_unique<FormatterSet>(theme);
  return *slot;
}

}  // namespace

Syntax::Syntax(std::string code, std::string_view language, std::string_view theme, bool word_wrap,
               int padding)
    : code_(std::move(code)),
      language_(language),
      theme_(&CodeTheme::named(theme)),
      word_wrap_(word_wrap),
      padding_(std::max(padding, 0)) {}

std::string Syntax::resolve_language(std::string_view language) {
  return syntax_registry::find(language).file;
}

Style syntax_registry::token_style(const CodeTheme& theme, const std::string& element,
                                   std::string_view text) {
  if (element == "keyword") return is_import_keyword(text) ? theme.import_keyword : theme.keyword;
  for (const ClassStyle& cs : CLASS_STYLES) {
    if (cs.element == element) return theme.*cs.style;
  }
  return Style();
}

Text syntax_registry::highlight_with(const std::string& code,
                                     const srchilite::HighlightStatePtr& state,
                                     const CodeTheme& theme) {
  Text out;
  FormatterSet& formatters = formatters_for(theme);
  formatters.target = &out;
  srchilite::SourceHighlighter highlighter(state);
  highlighter.setFormatterManager(&formatters.manager);
  highlighter.setOptimize(true);  // adjacent text of one class arrives as one piece
  srchilite::FormatterParams params;
  highlighter.setFormatterParams(&params);
  syntax_lines::for_each_line(code, [&](std::string_view line, bool more) {
    params.start = 0;
    syntax_registry::begin_line();
    highlighter.highlightParagraph(std::string(line));
    if (more) out.append("\n");
  });
  return out;
}

Text Syntax::highlight() const {
  const srchilite::HighlightStatePtr state =
      language_.empty() ? srchilite::HighlightStatePtr() : syntax_registry::load(language_);
  if (!state) return Text(code_);
  try {
    return syntax_registry::highlight_loaded(code_, state, *theme_);
  } catch (const std::runtime_error&) {
    // The regular expression library gives up on some lines (it runs out of its matching
    // stack where a pattern backtracks over a long run); the code is then drawn unhighlighted,
    // as for an unknown language, rather than failing the whole render.
    return Text(code_);
  }
}

void Syntax::render(const Console&, int width, Lines& out) const {
  const Style& bg = theme_->background;
  Text text = highlight();
  text.set_base_style(bg);
  text.set_no_wrap(!word_wrap_);
  text.set_overflow(word_wrap_ ? Overflow::fold : Overflow::crop);
  const int pad = std::min(padding_, std::max(0, (width - 1) / 2));
  const int inner = std::max(1, width - 2 * pad);
  const auto full = static_cast<std::size_t>(std::max(width, inner + 2 * pad));
  const std::string side(static_cast<std::size_t>(pad), ' ');
  auto blank_row = [&] {
    Line line;
    pad_line(line, full, bg);
    out.push_back(std::move(line));
  };
  if (pad > 0) blank_row();
  Lines code_lines;
  text.wrap_into(inner, code_lines);
  for (Line& code_line : code_lines) {
    frame_row(code_line, side, static_cast<std::size_t>(pad + inner), bg);
    out.push_back(std::move(code_line));
  }
  if (pad > 0) blank_row();
}

}  // namespace styled
