#pragma once
// Markdown: CommonMark + GFM (tables, strikethrough, task lists parsed by cmark-gfm; links in
// bare text found while drawing) drawn with the Console's "markdown.*" theme styles; fenced
// and indented code is highlighted by Syntax on `code_theme`.
//
//   console.print(Markdown(answer, "monokai"));
//   Lines rows = console.render_lines(Markdown(text), 80);
//
// Look: h1 bold and centred in a heavy box as wide as the width; h2 centred after a blank
// line; h3–h6 centred in their theme styles; a blank line between blocks; quotes behind "▌ ";
// bullets " • " (nested lists indent by 3 more); ordered items numbered and right-aligned;
// code on the code theme's background with one cell of padding round it; rules "─" across
// the width; links followed by their URL when it differs from the text; images as "🌆 alt"
// and their URL; tables with box-drawing borders; raw HTML shown as text. Every row is
// padded with spaces to the full width.
//
// Bad input is safe: parsing and drawing are linear in the text, the tree is walked without
// recursion, and nesting deeper than the width allows stops indenting further.

#include <memory>
#include <string>
#include <string_view>

#include "styled/renderable.h"

namespace styled {

class Markdown : public Renderable {
 public:
  explicit Markdown(std::string_view text, std::string_view code_theme = "monokai");
  ~Markdown() override;
  Markdown(Markdown&&) noexcept;
  Markdown& operator=(Markdown&&) noexcept;

  void render(const Console& console, int width, Lines& out) const override;
  void render_each(const Console& console, int width, const LineSink& sink) const override;

 private:
  struct Document;
  std::unique_ptr<Document> doc_;
  std::string code_theme_;
};

}  // namespace styled
