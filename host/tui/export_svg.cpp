#include "host/tui/export_svg.h"

#include <fmt/format.h>

#include "host/tui/export_html.h"

namespace host::tui {
namespace {

constexpr double CELL_W = 8.4;  // 0.6 em of a 14 px monospace font
constexpr double CELL_H = 18;
constexpr double MARGIN = 12;
constexpr double TITLE = 28;  // the window's title bar

std::string hex(styled::Color c) {
  const styled::Color rgb = c.to_rgb();
  return fmt::format("#{:02x}{:02x}{:02x}", rgb.r(), rgb.g(), rgb.b());
}

struct Look {
  std::string fg, bg;  // bg empty: the screen's own
  std::string extra;   // font attributes
};

Look look_of(styled::Style style, styled::ColorScheme scheme, const std::string& default_fg,
             const std::string& default_bg) {
  if (scheme == styled::ColorScheme::light) style = styled::for_light_background(style);
  const auto shows = [](styled::Color c) {
    return c.is_set() && c.kind() != styled::Color::Kind::default_color;
  };
  Look look;
  look.fg = shows(style.fg()) ? hex(style.fg()) : default_fg;
  look.bg = shows(style.bg()) ? hex(style.bg()) : std::string();
  if (style.has(styled::Attr::reverse)) {
    std::string bg = look.bg.empty() ? default_bg : look.bg;
    look.bg = look.fg;
    look.fg = bg;
  }
  if (style.has(styled::Attr::bold)) look.extra += " font-weight=\"bold\"";
  if (style.has(styled::Attr::italic)) look.extra += " font-style=\"italic\"";
  if (style.has(styled::Attr::dim)) look.extra += " opacity=\"0.6\"";
  const bool under = style.has(styled::Attr::underline);
  const bool strike = style.has(styled::Attr::strike);
  if (under || strike) {
    look.extra += std::string(" text-decoration=\"") + (under ? "underline" : "") +
                  (under && strike ? " " : "") + (strike ? "line-through" : "") + "\"";
  }
  return look;
}

}  // namespace

std::string screen_svg(const termui::CellBuffer& screen, styled::ColorScheme scheme) {
  const bool light = scheme == styled::ColorScheme::light;
  const std::string fg = light ? "#1e1e1e" : "#d4d4d4";
  const std::string bg = light ? "#ffffff" : "#1e1e1e";
  const int w = screen.width(), h = screen.height();
  const double width = 2 * MARGIN + w * CELL_W, height = TITLE + 2 * MARGIN + h * CELL_H;
  std::string out = fmt::format(
      "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"{0:.0f}\" height=\"{1:.0f}\" "
      "viewBox=\"0 0 {0:.1f} {1:.1f}\" font-family=\"'DejaVu Sans Mono', Menlo, Consolas, "
      "monospace\" font-size=\"14\">\n"
      "<rect width=\"100%\" height=\"100%\" rx=\"8\" fill=\"{2}\"/>\n"
      "<circle cx=\"18\" cy=\"14\" r=\"6\" fill=\"#ff5f56\"/><circle cx=\"38\" cy=\"14\" r=\"6\" "
      "fill=\"#ffbd2e\"/><circle cx=\"58\" cy=\"14\" r=\"6\" fill=\"#27c93f\"/>\n",
      width, height, bg);
  std::string texts;
  for (int y = 0; y < h; ++y) {
    const double top = TITLE + MARGIN + y * CELL_H;
    const double baseline = top + CELL_H * 0.75;
    int x = 0;
    while (x < w) {
      // A run: cells of one style, each one cell wide (a wide glyph is a run of its own, so
      // every run starts at its column whatever the font's widths).
      const termui::Cell& first = screen.at(x, y);
      int end = x + std::max<int>(first.width, 1);
      if (first.width == 1) {
        while (end < w && screen.at(end, y).width == 1 && screen.at(end, y).style == first.style) {
          ++end;
        }
      }
      std::string text;
      for (int i = x; i < end; ++i) text += screen.at(i, y).text;
      const Look look = look_of(first.style, scheme, fg, bg);
      if (!look.bg.empty()) {
        out += fmt::format(
            "<rect x=\"{:.1f}\" y=\"{:.1f}\" width=\"{:.1f}\" height=\"{:.1f}\" fill=\"{}\"/>\n",
            MARGIN + x * CELL_W, top, (end - x) * CELL_W, CELL_H, look.bg);
      }
      if (text.find_first_not_of(' ') != std::string::npos) {
        texts += fmt::format(
            "<text x=\"{:.1f}\" y=\"{:.1f}\" fill=\"{}\"{} xml:space=\"preserve\">{}</text>\n",
            MARGIN + x * CELL_W, baseline, look.fg, look.extra, html_escaped(text));
      }
      x = end;
    }
  }
  out += texts;
  out += "</svg>\n";
  return out;
}

}  // namespace host::tui
