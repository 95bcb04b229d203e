// The engine's side of the boundary: the table Syntax calls through.

#include "styled/syntax/syntax_engine.h"
#include "styled/syntax/syntax_highlighter.h"
#include "styled/syntax/syntax_registry.h"

namespace styled::syntax_engine {
namespace {

bool highlight(std::string_view language, const std::string& code, const CodeTheme& theme,
               Text& out) {
  const auto highlighter = syntax_registry::load(language);
  if (!highlighter) return false;
  out = highlighter->highlight(code, theme);
  return true;
}

std::string resolve_language(std::string_view language) {
  return syntax_registry::find(language).file;
}

constexpr Engine ENGINE{ABI, &highlight, &resolve_language};

}  // namespace
}  // namespace styled::syntax_engine

extern "C" __attribute__((visibility("default"))) const styled::syntax_engine::Engine*
vellumine_syntax_engine() {
  return &styled::syntax_engine::ENGINE;
}
