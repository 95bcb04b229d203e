#include "host/tui/export_code_html.h"

#include <fmt/format.h>

#include "host/tui/export_html.h"
#include "styled/syntax/syntax.h"

namespace host::tui {
namespace {

// The code theme the transcript's answers use.
constexpr std::string_view CODE_THEME = "monokai";

bool shows(styled::Color c) {
  return c.is_set() && c.kind() != styled::Color::Kind::default_color;
}

std::string css_color(styled::Color c) {
  const styled::Color rgb = c.to_rgb();
  return fmt::format("#{:02x}{:02x}{:02x}", rgb.r(), rgb.g(), rgb.b());
}

// The declarations for a token's style; empty when it looks like the block's default.
std::string token_css(const styled::Style& style) {
  std::string css;
  if (shows(style.fg())) css += "color:" + css_color(style.fg()) + ";";
  if (style.has(styled::Attr::bold)) css += "font-weight:bold;";
  if (style.has(styled::Attr::italic)) css += "font-style:italic;";
  if (style.has(styled::Attr::underline)) css += "text-decoration:underline;";
  return css;
}

}  // namespace

std::string_view fence_language(std::string_view info) {
  return info.substr(0, info.find_first_of(" \t{"));
}

std::string highlighted_code_html(std::string_view code, std::string_view language) {
  const styled::Text text = styled::Syntax(std::string(code), language, CODE_THEME).highlight();
  const std::string& plain = text.plain();
  // The highlighter leaves out the last line feed; anything else it changed would be a fault
  // worth no lost character, so the code then goes out uncoloured.
  if (!code.starts_with(plain)) return html_escaped(code);
  std::string out;
  for (const styled::StyleRun& run : text.runs()) {
    const std::string piece =
        html_escaped(std::string_view(plain).substr(run.start, run.end - run.start));
    const std::string css = token_css(run.style);
    out += css.empty() ? piece : "<span style=\"" + css + "\">" + piece + "</span>";
  }
  return out + html_escaped(code.substr(plain.size()));
}

std::string code_block_css() {
  const styled::Style& base = styled::CodeTheme::named(CODE_THEME).background;
  std::string css = ".answer pre {";
  if (shows(base.bg())) css += " background: " + css_color(base.bg()) + ";";
  if (shows(base.fg())) css += " color: " + css_color(base.fg()) + ";";
  return css + " }\n.answer pre code { color: inherit; background: none; }\n";
}

}  // namespace host::tui
