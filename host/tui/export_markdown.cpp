#include "host/tui/export_markdown.h"

#include <fmt/format.h>

#include <algorithm>

#include "styled/console.h"
#include "unicode/text_ops.h"
#include "zell/overloaded.h"
#include "zell/tui/widgets/scrollback/scrollback.h"

namespace host::tui {
namespace entries = zell::tui::widgets::entries;

namespace {

using zell::Overloaded;

// Text from the agent or a tool: no terminal controls in the file.
std::string clean(std::string_view text) {
  return unicode::visible_controls(text);
}

std::string quoted(std::string_view text, std::string_view lead) {
  std::string out;
  std::string_view rest = text;
  bool first = true;
  for (;;) {
    const std::size_t nl = rest.find('\n');
    out += "> ";
    if (first) out += lead;
    out += escaped_paragraph(rest.substr(0, nl));
    first = false;
    if (nl == std::string_view::npos) break;
    out += "\\\n";
    rest.remove_prefix(nl + 1);
  }
  return out + "\n";
}

}  // namespace

std::string fenced(std::string_view text, std::string_view info) {
  std::size_t longest = 0, run = 0;
  for (const char c : text) {
    run = c == '`' ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  const std::string fence(std::max<std::size_t>(3, longest + 1), '`');
  std::string out = fence;
  out += info;
  out += '\n';
  out += text;
  if (!text.empty() && text.back() != '\n') out += '\n';
  out += fence;
  out += '\n';
  return out;
}

std::string escaped_paragraph(std::string_view text) {
  std::string out;
  for (const char c : text) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '\n') {
      out += "\\\n";
    } else if ((b >= 0x21 && b <= 0x2f) || (b >= 0x3a && b <= 0x40) || (b >= 0x5b && b <= 0x60) ||
               (b >= 0x7b && b <= 0x7e)) {
      out += '\\';
      out += c;
    } else {
      out += c;
    }
  }
  // A paragraph cannot start or end with spaces that matter, nor be empty.
  return out.empty() ? std::string("\\ ") : out;
}

std::string drawn_text(const zell::tui::widgets::HistoryEntry& entry) {
  std::string out;
  for (const auto& strip : entry.drawn.strips) {
    std::string row = strip.text();
    while (!row.empty() && row.back() == ' ') row.pop_back();
    out += row + "\n";
  }
  return out;
}

std::string transcript_markdown(const std::vector<zell::tui::widgets::HistoryEntry>& history) {
  std::string out = "# Vellumine transcript\n";
  for (const auto& entry : history) {
    std::string block = std::visit(
        Overloaded{
            [](const entries::Spacer&) { return std::string(); },
            [](const entries::User& r) { return quoted(clean(r.text), "**❯** "); },
            [](const entries::Queued& r) { return quoted(clean(r.text), "**❯ (queued)** "); },
            [](const entries::Assistant& r) {
              std::string text = clean(r.text);
              if (!text.empty() && text.back() != '\n') text += '\n';
              return text;
            },
            [](const entries::Info& r) { return escaped_paragraph(clean(r.text)) + "\n"; },
            [](const entries::Error& r) {
              return "**Error:** " + escaped_paragraph(clean(r.text)) + "\n";
            },
            [](const entries::Thinking& r) {
              return "<details>\n<summary>Thinking</summary>\n\n" + fenced(clean(r.text), "text") +
                     "\n</details>\n";
            },
            [](const entries::Tool& r) {
              return fenced(clean(r.name) + " " + clean(r.args), "tool");
            },
            [](const entries::ToolDone& r) {
              return fenced(clean(r.name) + " " + clean(r.args) + "\n→ " + clean(r.summary),
                            "tool");
            },
            [](const entries::ToolResult& r) {
              const std::string text = clean(r.result);
              if (r.error) return fenced(text, "error");
              return fenced(text, zell::tui::widgets::_is_diff(text) ? "diff" : "text");
            },
            [](const entries::Approval& r) {
              return "**Approval asked:** " + escaped_paragraph(clean(r.tool_name)) + "\n\n" +
                     fenced(clean(r.command), "sh");
            },
            [](const entries::TurnSummary& r) {
              // fmt rather than appends to a one-character string: GCC 12 warns (-Wrestrict)
              // about the appends, wrongly.
              return fmt::format("*{}*\n", escaped_paragraph(clean(r.text)));
            },
            [](const entries::Raw& r) {
              if (!r.renderable) return std::string();
              std::string text;
              for (const auto& line : styled::Console().render_lines(*r.renderable, 100)) {
                std::string row = line.text();
                while (!row.empty() && row.back() == ' ') row.pop_back();
                text += row + "\n";
              }
              return fenced(clean(text), "text");
            },
            [&entry](const auto&) { return fenced(clean(drawn_text(entry)), "text"); },
        },
        entry.record);
    if (block.empty()) continue;
    out += "\n";
    out += block;
  }
  return out;
}

}  // namespace host::tui
