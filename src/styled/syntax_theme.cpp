#include "styled/syntax.h"

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

}  // namespace styled
