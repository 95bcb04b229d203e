#include <algorithm>
#include <array>

#include "styled/syntax/syntax.h"
#include "styled/syntax/syntax_token_style.h"

namespace styled {

const CodeTheme& CodeTheme::named(std::string_view) {
  static const CodeTheme monokai = [] {
    CodeTheme t;
    t.background = Style::parse("#f8f8f2 on #272822");
    t.comment = Style::parse("#75715e");
    t.keyword = Style::parse("#66d9ef");
    t.import_keyword = Style::parse("#f92672");
    t.operator_ = Style::parse("#f92672");
    t.tag = Style::parse("#f92672");
    t.function = Style::parse("#a6e22e");
    t.number = Style::parse("#ae81ff");
    t.string = Style::parse("#e6db74");
    t.escape = Style::parse("#ae81ff");
    t.type = Style::parse("#66d9ef");
    t.deleted = Style::parse("#f92672");
    t.inserted = Style::parse("#a6e22e");
    t.hunk = Style::parse("#75715e");
    return t;
  }();
  return monokai;
}

namespace {

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

// Keywords that bring names in from elsewhere, which the theme colours apart.
bool is_import_keyword(std::string_view word) {
  static constexpr std::array<std::string_view, 10> IMPORTS = {
      "import", "from", "export",  "require", "include",
      "using",  "use",  "package", "extern",  "#include"};
  return std::find(IMPORTS.begin(), IMPORTS.end(), word) != IMPORTS.end();
}

}  // namespace

Style token_style(const CodeTheme& theme, std::string_view element, std::string_view text) {
  if (element == "keyword") return is_import_keyword(text) ? theme.import_keyword : theme.keyword;
  for (const ClassStyle& cs : CLASS_STYLES) {
    if (cs.element == element) return theme.*cs.style;
  }
  return Style();
}

std::vector<std::string_view> styled_token_classes() {
  std::vector<std::string_view> out{"keyword"};
  for (const ClassStyle& cs : CLASS_STYLES) out.push_back(cs.element);
  return out;
}

}  // namespace styled
