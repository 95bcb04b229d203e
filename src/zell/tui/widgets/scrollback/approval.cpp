// The approval prompt: the command's first line cut to the terminal width, the whole command
// below it whenever that line cannot show all of it (a diff in the diff colours), and the
// answer keys: the two of a yes/no question, or one row for each answer the agent offers.

#include <algorithm>
#include <string>

#include "styled/text.h"
#include "unicode/concat.h"
#include "unicode/diff_line.h"
#include "unicode/line_scan.h"
#include "unicode/text_ops.h"
#include "unicode/utf8.h"
#include "unicode/visible_command.h"
#include "unicode/width.h"
#include "zell/tui/widgets/scrollback/item_styles.h"
#include "zell/tui/widgets/scrollback/scrollback.h"

namespace zell::tui::widgets {
namespace {

constexpr std::string_view INDENT = "    ";

// The width a write without an explicit width renders at (see Scrollback::write and the
// base log).
int write_width(const Scrollback& log) {
  const int w = log.size().width - 2;
  if (w > 10) return w;
  return std::max(1, log.size().width > 0 ? log.size().width : log.min_width());
}

// What the question's own line shows of the command: its first line that is not blank,
// stripped, with " …" when more text follows. A command of many lines (a script, a diff) is
// shown whole below the question, once.
std::string first_line_of(std::string_view command) {
  std::size_t pos = 0;
  for (;;) {
    const std::size_t nl = command.find('\n', pos);
    const std::string_view line = unicode::strip_view(command.substr(pos, nl - pos));
    if (!line.empty() || nl == std::string_view::npos) {
      const bool more = nl != std::string_view::npos && !unicode::is_blank(command.substr(nl + 1));
      return more ? unicode::concat({line, " …"}) : std::string(line);
    }
    pos = nl + 1;
  }
}

// Tabs as spaces up to the next multiple of 8 cells of the line, so that the rows below can
// be measured.
std::string expand_tabs(std::string_view line) {
  if (line.find('\t') == std::string_view::npos) return std::string(line);
  std::string out;
  std::size_t column = 0;
  for (std::size_t pos = 0; pos < line.size();) {
    if (line[pos] == '\t') {
      const std::size_t spaces = 8 - column % 8;
      out.append(spaces, ' ');
      column += spaces;
      ++pos;
      continue;
    }
    const unicode::Grapheme g = unicode::grapheme_at(line, pos);
    out.append(line.substr(pos, g.len));
    column += static_cast<std::size_t>(g.width);
    pos += g.len;
  }
  return out;
}

// A diff to approve is drawn in the transcript's diff colours: added lines green, removed
// lines red, hunk headers cyan; file headers and context stay dim.
const styled::Style& row_style(std::string_view line, bool diff) {
  switch (diff ? unicode::diff_line_kind(line) : unicode::DiffLine::other) {
    case unicode::DiffLine::added:
      return item_style("#32cd32");
    case unicode::DiffLine::removed:
      return item_style("red");
    case unicode::DiffLine::hunk:
      return item_style("cyan");
    default:
      return item_style("dim");
  }
}

}  // namespace

void Scrollback::append_approval(std::string_view tool_name, std::string_view command,
                                 const std::vector<std::string>& options) {
  append(entries::Approval{std::string(tool_name), std::string(command), options});
}

void Scrollback::_render_approval(std::string_view tool_name, std::string_view command,
                                  std::span<const std::string> options) {
  write_blank();

  const std::optional<int> terminal = app_width();
  const auto max_w = static_cast<std::size_t>(std::max(terminal ? *terminal - 12 : 70, 40));
  const std::string shown = unicode::visible_command(first_line_of(command));
  const styled::Style& ask = item_style("bold yellow");
  styled::Text line = styled::Text::one_line();
  line.append("  Allow ", ask);
  line.append(unicode::visible_command(tool_name), ask);
  line.append("? ", ask);
  line.append(unicode::cp_prefix(shown, max_w), item_style("dim"));
  write_line(line);

  // The user approves every character: when the line above was cut (by its limit or by the
  // width) or the command has more than one line, the command follows whole, one row per line of
  // it, folded at the width with every character kept.
  const bool cut = unicode::longer_than(shown, max_w) ||
                   line.cell_length() > static_cast<std::size_t>(write_width(*this));
  // So does a command whose width terminals disagree on: it may overflow where it looks whole.
  if (cut || command.find('\n') != std::string_view::npos || unicode::widths_disagree(command))
    write_whole_command(command);

  const styled::Style& dim = item_style("dim");
  const styled::Style& key = item_style("bold white");
  if (!options.empty()) {
    // The agent's own answers, one row each, by the number that chooses it.
    for (std::size_t i = 0; i < options.size(); ++i) {
      styled::Text row;
      row.append("  Press ", dim);
      row.append(std::to_string(i + 1), key);
      row.append(" to ", dim);
      row.append(unicode::visible_command(options[i]), dim);
      write_line(row);
    }
    return;
  }
  styled::Text hint;
  hint.append("  Press ", dim);
  hint.append("1", key);
  hint.append(" to allow, ", dim);
  hint.append("2", key);
  hint.append(" to deny", dim);
  write_line(hint);
}

void Scrollback::write_whole_command(std::string_view command) {
  const auto width = static_cast<std::size_t>(std::max(write_width(*this) - 4, 1));
  const bool diff = _is_diff(command);
  std::string row;
  const styled::Style* style = &item_style("dim");
  const auto emit = [&] {
    write_line(styled::Text(row.empty() ? std::string() : std::string(INDENT) + row, *style));
    row.clear();
  };
  unicode::for_each_piece(command, [&](std::string_view piece) {
    style = &row_style(piece, diff);  // a folded line keeps its colour on every row
    const std::string line = expand_tabs(unicode::visible_command(piece));
    std::size_t cells = 0;
    for (std::size_t pos = 0; pos < line.size();) {
      const unicode::Grapheme g = unicode::grapheme_at(line, pos);
      const auto w = static_cast<std::size_t>(g.width);
      if (cells + w > width && !row.empty()) {
        emit();
        cells = 0;
      }
      row.append(line, pos, g.len);
      cells += w;
      pos += g.len;
    }
    emit();
  });
}

}  // namespace zell::tui::widgets
