// Prompts, queued prompts, answers, info and error lines.

#include <algorithm>
#include <vector>

#include "styled/console.h"
#include "styled/markdown/markdown.h"
#include "styled/text.h"
#include "unicode/line_scan.h"
#include "unicode/text_ops.h"
#include "unicode/visible_text.h"
#include "unicode/word_fill.h"
#include "zell/tui/widgets/scrollback/item_styles.h"
#include "zell/tui/widgets/scrollback/markdown_markers.h"
#include "zell/tui/widgets/scrollback/scrollback.h"

namespace zell::tui::widgets {
namespace {

std::string indented(std::string_view line) {
  std::string s;
  s.reserve(line.size() + 2);
  s += "  ";
  s += line;
  return s;
}

// A prompt's rows: `mark` before its first row, and every row after (its own lines and the rows
// a long one wraps into) indented to line up under the text, not under the mark. `width` is
// the whole row's.
std::vector<styled::Text> marked_rows(const styled::Console& console, int width,
                                      const styled::Text& mark, const styled::Text& body) {
  const auto mark_cells = static_cast<int>(mark.cell_length());
  if (width - mark_cells < 2) {
    styled::Text line = mark;
    line.append(body);
    return {line};
  }
  std::vector<styled::Text> out;
  const styled::Lines rows = console.render_lines(body, width - mark_cells, false);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    styled::Text line = i == 0 ? mark : styled::Text(std::string(mark_cells, ' '));
    for (const auto& seg : rows[i].segments) line.append(seg.text, seg.style);
    out.push_back(std::move(line));
  }
  return out;
}

}  // namespace

bool has_markdown(std::string_view text) {
  for (std::string_view marker : {"```", "###", "**", "- ", "1. ", "`"}) {
    if (text.find(marker) != std::string_view::npos) return true;
  }
  return false;
}

void Scrollback::_render_user(std::string_view text) {
  write_blank();
  styled::Text mark;
  mark.append("❯ ", item_style("bold #5f87ff"));
  styled::Text body;
  body.append(text, item_style("bold white"));
  for (const styled::Text& row : marked_rows(console(), line_width(), mark, body)) {
    write_line(row);
  }
}

void Scrollback::_render_queued(std::string_view text) {
  write_blank();
  styled::Text mark;
  mark.append("  ↻ ", item_style("dim yellow"));
  styled::Text body;
  body.append(text, item_style("dim italic"));
  body.append("  (queued)", item_style("dim yellow"));
  for (const styled::Text& row : marked_rows(console(), line_width(), mark, body)) {
    write_line(row);
  }
}

void Scrollback::_render_info(std::string_view text) {
  write_blank();
  write_line(styled::Text(indented(text), item_style("dim")));
}

void Scrollback::_render_error(std::string_view text) {
  const int width = line_width();
  if (width <= 4) {
    styled::Text line;
    line.append("  ✗ ", item_style("bold red"));
    line.append(unicode::visible_text(text, unicode::Reveal::reordering), item_style("red"));
    write_line(line);
    return;
  }
  // Wrapped here rather than by the log, so that continuation rows line up under the text.
  const styled::Lines rows = console().render_lines(
      styled::Text(unicode::visible_text(text, unicode::Reveal::reordering), item_style("red")),
      width - 4, false);
  for (std::size_t i = 0; i < rows.size(); ++i) {
    styled::Text line;
    if (i == 0) {
      line.append("  ✗ ", item_style("bold red"));
    } else {
      line.append("    ");
    }
    for (const auto& seg : rows[i].segments) line.append(seg.text, seg.style);
    write_line(line);
  }
}

void Scrollback::_render_assistant(std::string_view text) {
  write_blank();
  const int avail_w = answer_width() + 2;
  if (has_markdown(text)) {
    // Rendered by a console of its own (no transcript theme), as ANSI, then read back into
    // styles line by line; links travel as OSC 8 (the agent's own escapes are made visible
    // before they reach the console, so every link here is one the renderer made).
    std::string rendered;
    styled::Console console({.width = avail_w - 2,
                             .force_terminal = true,
                             .color_system = styled::ColorSystem::truecolor,
                             .file = &rendered,
                             .hyperlinks = true});
    console.print(styled::Markdown(text, "monokai"));
    unicode::for_each_piece(rendered, [this](std::string_view line) {
      write_line(styled::Text::from_ansi(indented(line), true));
    });
    return;
  }
  unicode::for_each_piece(text, [this, avail_w](std::string_view paragraph) {
    const std::string wrapped =
        unicode::is_blank(paragraph) ? std::string() : unicode::word_fill(paragraph, avail_w - 2);
    unicode::for_each_piece(
        wrapped, [this](std::string_view line) { write_line(styled::Text(indented(line))); });
  });
}

}  // namespace zell::tui::widgets
