#include "styled/syntax/syntax.h"

#include <algorithm>
#include <stdexcept>
#include <utility>
#include <vector>

#include "styled/console.h"
#include "styled/syntax/syntax_engine.h"

namespace styled {

namespace {

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

}  // namespace

Syntax::Syntax(std::string code, std::string_view language, std::string_view theme, bool word_wrap,
               int padding)
    : code_(std::move(code)),
      language_(language),
      theme_(&CodeTheme::named(theme)),
      word_wrap_(word_wrap),
      padding_(std::max(padding, 0)) {}

std::string Syntax::resolve_language(std::string_view language) {
  const syntax_engine::Engine* engine = syntax_engine::engine();
  return engine != nullptr ? engine->resolve_language(language) : std::string();
}

Text Syntax::highlight() const {
  // Plain code never loads the engine.
  const syntax_engine::Engine* engine = language_.empty() ? nullptr : syntax_engine::engine();
  if (engine == nullptr) return Text(code_);
  try {
    Text out;
    if (!engine->highlight(language_, code_, *theme_, out)) return Text(code_);
    return out;
  } catch (const std::runtime_error&) {
    // The regular expression library gives up on some lines (it runs out of its matching
    // stack where a pattern backtracks over a long run); the code is then drawn unhighlighted,
    // as for an unknown language, rather than failing the whole render.
    return Text(code_);
  }
}

void Syntax::render(const Console& console, int width, Lines& out) const {
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
  text.wrap_into(inner, code_lines, console.wrap_memory());
  for (Line& code_line : code_lines) {
    frame_row(code_line, side, static_cast<std::size_t>(pad + inner), bg);
    out.push_back(std::move(code_line));
  }
  if (pad > 0) blank_row();
}

}  // namespace styled
