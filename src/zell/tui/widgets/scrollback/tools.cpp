// Tool calls: the header when a call starts (it counts a step), the check line when it has
// finished, and its result hanging from tree connectors, folded after six lines.

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "styled/link.h"
#include "styled/text.h"
#include "unicode/concat.h"
#include "unicode/line_scan.h"
#include "unicode/utf8.h"
#include "unicode/visible_text.h"
#include "zell/tui/widgets/scrollback/item_styles.h"
#include "zell/tui/widgets/scrollback/scrollback.h"
#include "zell/tui/widgets/scrollback/tool_headers.h"

namespace zell::tui::widgets {
namespace {

constexpr std::size_t MAX_RESULT_LINES = 6;
constexpr std::size_t RESULT_LINE_CHARS = 120;
constexpr std::size_t ERROR_CHARS = 200;

// The folder relative paths in tool arguments are taken from: the one the session runs in.
const std::string& session_folder() {
  static const std::string folder = [] {
    std::error_code ignored;
    return std::filesystem::current_path(ignored).string();
  }();
  return folder;
}

// Arguments as a header shows them: stripped, line feeds as spaces, cut to `max_chars`. The
// cut comes first: swapping one character for one gives the same text and reads no further.
std::string args_short(std::string_view args, std::size_t max_chars) {
  std::string s = unicode::cp_prefix(unicode::strip_view(args), max_chars);
  std::replace(s.begin(), s.end(), '\n', ' ');
  return unicode::visible_text(s, unicode::Reveal::invisible);
}

}  // namespace

void Scrollback::append_tool(std::string_view name, std::string_view args) {
  append(entries::Tool{std::string(name), std::string(args)});
}

void Scrollback::append_tool_done(std::string_view name, std::string_view args,
                                  std::string_view summary) {
  append(entries::ToolDone{std::string(name), std::string(args), std::string(summary)});
}

void Scrollback::append_tool_result(std::string_view result, bool error) {
  append(entries::ToolResult{std::string(result), error});
}

void Scrollback::_render_tool(std::string_view name, std::string_view args) {
  ++_step_count;
  const styled::Style& accent = item_style("bold #5f87ff");
  // A plain text: a long header wraps onto further rows and still counts as one line.
  styled::Text header;
  header.append("  ● ", accent);
  header.append(unicode::visible_text(header_info(name).first, unicode::Reveal::invisible), accent);
  // Tested before stripping: arguments of white space only still show "()".
  // An argument that is one file path links to the file (OSC 8, where the terminal has them).
  if (!args.empty())
    header.append(unicode::concat({"(", args_short(args, 60), ")"}),
                  item_style("dim").with_link(styled::path_link(args, session_folder())));
  write_line(header);
}

void Scrollback::_render_tool_done(std::string_view name, std::string_view args,
                                   std::string_view summary) {
  const styled::Style& green = item_style("bold #32cd32");
  styled::Text line = styled::Text::one_line();
  line.append("  ✓ ", green);
  line.append(unicode::visible_text(header_info(name).first, unicode::Reveal::invisible), green);
  if (!args.empty())
    line.append(unicode::concat({"(", args_short(args, 40), ")"}),
                item_style("#32cd32").with_link(styled::path_link(args, session_folder())));
  // The summary is shown as it comes, neither stripped nor freed of line breaks.
  if (!summary.empty())
    line.append(unicode::concat({"  ", unicode::visible_text(unicode::cp_prefix(summary, 60),
                                                             unicode::Reveal::reordering)}),
                item_style("dim #32cd32"));
  write_line(line);
}

void Scrollback::_render_tool_result(std::string_view result, bool error) {
  if (error) {
    styled::Text line;
    line.append("    ⎿ ", item_style("dim"));
    line.append(
        unicode::visible_text(unicode::cp_prefix(result, ERROR_CHARS), unicode::Reveal::reordering),
        item_style("bold red"));
    write_line(line);
    return;
  }
  unicode::LineReader reader(unicode::strip_view(result));
  std::string_view line_text;
  std::vector<std::string_view> shown;
  while (shown.size() < MAX_RESULT_LINES && reader.next(line_text)) shown.push_back(line_text);
  if (shown.empty()) return;
  if (_is_diff(result)) {
    _render_diff(result);
    return;
  }
  const std::size_t total = shown.size() + reader.count_rest();
  const styled::Style& connector = item_style("dim #5f87ff");
  const styled::Style& dim = item_style("dim");
  for (std::size_t i = 0; i < shown.size(); ++i) {
    // "⎿" marks the last line shown, whether or not more lines follow.
    styled::Text line;
    line.append(i + 1 < shown.size() ? "    │ " : "    ⎿ ", connector);
    line.append(unicode::cp_prefix(shown[i], RESULT_LINE_CHARS), dim);
    write_line(line);
  }
  if (total > shown.size()) {
    write_line(styled::Text(
        unicode::concat({"      … +", std::to_string(total - shown.size()), " more lines"}),
        item_style("dim italic")));
  }
}

}  // namespace zell::tui::widgets
