// The items that change in place: a tool call under a header whose mark follows its status,
// with its result as tool results are drawn; the plan as one row per entry.

#include <string>

#include "styled/text.h"
#include "unicode/concat.h"
#include "unicode/utf8.h"
#include "unicode/visible_text.h"
#include "zell/tui/widgets/scrollback/item_styles.h"
#include "zell/tui/widgets/scrollback/scrollback.h"
#include "zell/tui/widgets/scrollback/tool_headers.h"

namespace zell::tui::widgets {
namespace {

constexpr std::size_t ARGS_CHARS = 60;
constexpr std::size_t PLAN_ENTRY_CHARS = 200;

// The header's mark and its style for a status.
std::pair<std::string_view, std::string_view> status_mark(std::string_view status) {
  if (status == "completed") return {"✓", "bold #32cd32"};
  if (status == "failed") return {"✗", "bold red"};
  if (status == "pending") return {"○", "bold #5f87ff"};
  return {"●", "bold #5f87ff"};
}

// Text from the agent on one row, every character visible.
std::string one_row(std::string_view text, std::size_t max_chars) {
  std::string s = unicode::cp_prefix(text, max_chars);
  for (char& c : s) {
    if (c == '\n' || c == '\r' || c == '\t') c = ' ';
  }
  return unicode::visible_text(s, unicode::Reveal::invisible);
}

}  // namespace

void Scrollback::render_record(const entries::ToolCall& r) {
  ++_step_count;
  const auto [mark, mark_style] = status_mark(r.status);
  styled::Text header;
  header.append("  ", item_style(mark_style));
  header.append(mark, item_style(mark_style));
  header.append(" ", item_style(mark_style));
  header.append(unicode::visible_text(header_info(r.name).first, unicode::Reveal::invisible),
                item_style(mark_style));
  if (!r.args.empty()) {
    header.append(unicode::concat({"(", one_row(r.args, ARGS_CHARS), ")"}), item_style("dim"));
  }
  if (r.status == "pending" || r.status == "in_progress") {
    header.append(r.status == "pending" ? " · waiting" : " · running", item_style("dim italic"));
  }
  write_line(header);
  // A failure's one-line reason is red; the output of a failed command keeps its rows (the
  // header's mark says it failed).
  if (!r.result.empty()) {
    _render_tool_result(r.result, r.error && r.result.find('\n') == std::string::npos);
  }
}

void Scrollback::render_record(const entries::Plan& r) {
  write_blank();
  const styled::Style& accent = item_style("bold #5f87ff");
  write_line(styled::Text("  ▸ Plan", accent));
  for (const entries::Plan::Item& item : r.items) {
    styled::Text row;
    if (item.status == "completed") {
      row.append("    ✓ ", item_style("#32cd32"));
      row.append(one_row(item.content, PLAN_ENTRY_CHARS), item_style("dim"));
    } else if (item.status == "in_progress") {
      row.append("    ▸ ", accent);
      row.append(one_row(item.content, PLAN_ENTRY_CHARS), item_style("bold white"));
    } else {
      row.append("    ○ ", item_style("dim"));
      row.append(one_row(item.content, PLAN_ENTRY_CHARS));
    }
    if (item.priority == "high") row.append("  (high priority)", item_style("bold yellow"));
    write_line(row);
  }
}

}  // namespace zell::tui::widgets
