#include "zell/tui/widgets/scrollback/search_text.h"

#include "styled/text.h"
#include "unicode/text_ops.h"
#include "zell/overloaded.h"
#include "zell/tui/widgets/scrollback/markdown_markers.h"
#include "zell/tui/widgets/scrollback/tool_headers.h"

namespace zell::tui::widgets {
namespace {

// A tool's header as its row reads: the display name, then the arguments in brackets.
void append_tool_header(std::string& out, std::string_view name, std::string_view args) {
  out += header_info(name).first;
  if (args.empty()) return;
  out += '(';
  out += args;
  out += ')';
}

std::string composed(const EntryRecord& record) {
  std::string out;
  std::visit(zell::Overloaded{
                 [&](const entries::Tool& r) { append_tool_header(out, r.name, r.args); },
                 [&](const entries::ToolDone& r) {
                   append_tool_header(out, r.name, r.args);
                   if (!r.summary.empty()) out.append("  ").append(r.summary);
                 },
                 [&](const entries::ToolCall& r) {
                   append_tool_header(out, r.name, r.args);
                   if (!r.result.empty()) out.append("\n").append(r.result);
                 },
                 [&](const entries::Approval& r) {
                   out.append("Allow ").append(r.tool_name).append("? ").append(r.command);
                   for (const std::string& option : r.options) out.append("\n").append(option);
                 },
                 [&](const entries::Plan& r) {
                   out = "Plan";
                   for (const entries::Plan::Item& item : r.items) {
                     out.append("\n").append(item.content);
                   }
                 },
                 [&](const entries::Raw& r) {
                   if (const auto* text = dynamic_cast<const styled::Text*>(r.renderable.get())) {
                     out = text->plain();
                   }
                 },
                 [&](const auto&) {
                   if (const auto field = shown_field(record)) out = *field;
                 },
             },
             record);
  return out;
}

}  // namespace

std::optional<std::string_view> shown_field(const EntryRecord& record) {
  return std::visit(
      [](const auto& r) -> std::optional<std::string_view> {
        using R = std::decay_t<decltype(r)>;
        if constexpr (std::is_same_v<R, entries::ToolResult>) {
          return std::string_view(r.result);
        } else if constexpr (std::is_same_v<R, entries::Spacer>) {
          return std::string_view();
        } else if constexpr (requires { r.text; } && !std::is_same_v<R, entries::Raw>) {
          return std::string_view(r.text);
        } else {
          return std::nullopt;
        }
      },
      record);
}

bool searched_in_rows(const EntryRecord& record) {
  const auto* answer = std::get_if<entries::Assistant>(&record);
  return answer != nullptr && has_markdown(answer->text);
}

std::string rows_text(const std::vector<termui::Strip>& rows) {
  std::string out;
  for (const termui::Strip& row : rows) {
    if (!out.empty()) out += '\n';
    const std::string text = row.text();
    out.append(text, 0, text.find_last_not_of(' ') + 1);
  }
  return out;
}

std::string search_text(const EntryRecord& record) {
  std::string text = composed(record);
  if (unicode::has_controls(text)) text = unicode::visible_controls(text);
  return text;
}

}  // namespace zell::tui::widgets
