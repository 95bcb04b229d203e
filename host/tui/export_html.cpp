#include "host/tui/export_html.h"

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm-extension_api.h>
#include <cmark-gfm.h>

#include <charconv>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "host/tui/export_code_html.h"
#include "host/tui/export_markdown.h"
#include "unicode/text_ops.h"
#include "unicode/utf8.h"
#include "zell/overloaded.h"
#include "zell/tui/widgets/scrollback/scrollback.h"

namespace host::tui {
namespace entries = zell::tui::widgets::entries;

namespace {

using zell::Overloaded;

// The transcript's colours (the dark theme's item styles) for a page.
constexpr std::string_view STYLE = R"(
body { background: #1e1e1e; color: #d4d4d4; font: 15px/1.5 ui-monospace, "DejaVu Sans Mono",
  Menlo, Consolas, monospace; max-width: 100ch; margin: 2em auto; padding: 0 1em; }
.user { color: #5f87ff; font-weight: bold; white-space: pre-wrap; margin-top: 1.5em; }
.user span { color: #ffffff; }
.queued { color: #5f87ff; opacity: .7; white-space: pre-wrap; }
.info { color: #00cdcd; white-space: pre-wrap; }
.error { color: #ff5f5f; white-space: pre-wrap; }
.summary { opacity: .6; white-space: pre-wrap; }
.tool { color: #32cd32; font-weight: bold; white-space: pre-wrap; margin: .3em 0; }
.tool .args { color: #d4d4d4; font-weight: normal; }
pre { background: #2a2a2a; padding: .5em .8em; overflow-x: auto; white-space: pre-wrap; }
pre.error { color: #ff5f5f; }
pre .add { color: #32cd32; } pre .del { color: #ff5f5f; } pre .hunk { color: #00cdcd; }
details { opacity: .75; font-style: italic; margin: .3em 0; }
summary { cursor: pointer; color: #00cdcd; }
.approval { color: #cdcd00; font-weight: bold; }
.answer code { color: #d72b6b; background: #2a2a2a; }
.answer h1, .answer h2, .answer h3, .answer h4 { color: #ffffff; }
a { color: #5f87ff; }
table { border-collapse: collapse; } td, th { border: 1px solid #555; padding: .2em .5em; }
)";

std::string div(std::string_view cls, std::string_view inner) {
  return "<div class=\"" + std::string(cls) + "\">" + std::string(inner) + "</div>\n";
}

std::string pre(std::string_view cls, std::string_view text) {
  return "<pre class=\"" + std::string(cls) + "\">" + html_escaped(text) + "</pre>\n";
}

// A diff with its added, removed and hunk lines coloured.
std::string diff_pre(std::string_view text) {
  std::string out = "<pre class=\"diff\">";
  std::string_view rest = text;
  while (!rest.empty()) {
    const std::size_t nl = rest.find('\n');
    const std::string_view line = rest.substr(0, nl);
    const char* cls = line.starts_with("+")    ? "add"
                      : line.starts_with("-")  ? "del"
                      : line.starts_with("@@") ? "hunk"
                                               : nullptr;
    if (cls) out += std::string("<span class=\"") + cls + "\">";
    out += html_escaped(line);
    if (cls) out += "</span>";
    out += '\n';
    if (nl == std::string_view::npos) break;
    rest.remove_prefix(nl + 1);
  }
  return out + "</pre>\n";
}

// cmark escapes a code block's text itself, so each block's coloured HTML is put in after
// rendering: the block's text becomes a marker, CODE_MARK + its number + CODE_MARK. The
// marker cannot come from the answer, whose control characters were made visible before it
// was parsed. Returns the blocks' HTML by number.
constexpr char CODE_MARK = '\x01';

std::vector<std::string> mark_code_blocks(cmark_node* doc) {
  std::vector<std::string> code;
  std::unique_ptr<cmark_iter, void (*)(cmark_iter*)> it(cmark_iter_new(doc), cmark_iter_free);
  for (cmark_event_type ev; (ev = cmark_iter_next(it.get())) != CMARK_EVENT_DONE;) {
    cmark_node* n = cmark_iter_get_node(it.get());
    if (ev != CMARK_EVENT_ENTER || cmark_node_get_type(n) != CMARK_NODE_CODE_BLOCK) continue;
    const char* info = cmark_node_get_fence_info(n);
    const char* literal = cmark_node_get_literal(n);
    code.push_back(highlighted_code_html(literal ? literal : "", fence_language(info ? info : "")));
    const std::string mark = CODE_MARK + std::to_string(code.size() - 1) + CODE_MARK;
    cmark_node_set_literal(n, mark.c_str());
  }
  return code;
}

std::string with_code_blocks(std::string_view html, const std::vector<std::string>& code) {
  std::string out;
  out.reserve(html.size());
  for (std::size_t at = 0; at < html.size();) {
    const std::size_t open = html.find(CODE_MARK, at);
    const std::size_t close =
        open == std::string_view::npos ? open : html.find(CODE_MARK, open + 1);
    if (close == std::string_view::npos) {
      out += html.substr(at);
      break;
    }
    out += html.substr(at, open - at);
    std::size_t index = code.size();
    std::from_chars(html.data() + open + 1, html.data() + close, index);
    if (index < code.size()) out += code[index];
    at = close + 1;
  }
  return out;
}

}  // namespace

std::string html_escaped(std::string_view text) {
  const std::string visible = unicode::visible_controls(unicode::sanitize(text));
  std::string out;
  out.reserve(visible.size());
  for (const char c : visible) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string markdown_html(std::string_view markdown) {
  static std::once_flag registered;
  std::call_once(registered, [] { cmark_gfm_core_extensions_ensure_registered(); });
  // Safe rendering is cmark's default: no raw HTML, no javascript:/vbscript:/data: links.
  const int options = CMARK_OPT_DEFAULT | CMARK_OPT_VALIDATE_UTF8;
  std::unique_ptr<cmark_parser, void (*)(cmark_parser*)> parser(cmark_parser_new(options),
                                                                cmark_parser_free);
  for (const char* name : {"table", "strikethrough", "autolink", "tasklist"}) {
    if (cmark_syntax_extension* ext = cmark_find_syntax_extension(name)) {
      cmark_parser_attach_syntax_extension(parser.get(), ext);
    }
  }
  const std::string visible = unicode::visible_controls(markdown);
  cmark_parser_feed(parser.get(), visible.data(), visible.size());
  std::unique_ptr<cmark_node, void (*)(cmark_node*)> doc(cmark_parser_finish(parser.get()),
                                                         cmark_node_free);
  const std::vector<std::string> code = mark_code_blocks(doc.get());
  char* html =
      cmark_render_html(doc.get(), options, cmark_parser_get_syntax_extensions(parser.get()));
  std::string out = html ? html : "";
  std::free(html);
  return with_code_blocks(out, code);
}

std::string transcript_html(const std::vector<zell::tui::widgets::HistoryEntry>& history) {
  std::string out =
      "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n"
      "<meta http-equiv=\"Content-Security-Policy\" content=\"default-src 'none'; "
      "style-src 'unsafe-inline'; img-src data:\">\n"
      "<title>Vellumine transcript</title>\n<style>";
  out += STYLE;
  out += code_block_css();
  out += "</style>\n</head>\n<body>\n";
  for (const auto& entry : history) {
    out += std::visit(
        Overloaded{
            [](const entries::Spacer&) { return std::string(); },
            [](const entries::User& r) {
              return div("user", "❯ <span>" + html_escaped(r.text) + "</span>");
            },
            [](const entries::Queued& r) { return div("queued", "❯ " + html_escaped(r.text)); },
            [](const entries::Assistant& r) { return div("answer", markdown_html(r.text)); },
            [](const entries::Info& r) { return div("info", html_escaped(r.text)); },
            [](const entries::Error& r) { return div("error", "✗ " + html_escaped(r.text)); },
            [](const entries::Thinking& r) {
              return "<details" + std::string(r.expanded ? " open" : "") +
                     "><summary>Thinking</summary>" + pre("thinking", r.text) + "</details>\n";
            },
            [](const entries::Tool& r) {
              return div("tool", "▶ " + html_escaped(r.name) + " <span class=\"args\">" +
                                     html_escaped(r.args) + "</span>");
            },
            [](const entries::ToolDone& r) {
              return div("tool", "✓ " + html_escaped(r.name) + " <span class=\"args\">" +
                                     html_escaped(r.args) + " → " + html_escaped(r.summary) +
                                     "</span>");
            },
            [](const entries::ToolResult& r) {
              if (r.error) return pre("error", r.result);
              return zell::tui::widgets::_is_diff(r.result) ? diff_pre(r.result)
                                                            : pre("result", r.result);
            },
            [](const entries::Approval& r) {
              return div("approval", "Approval asked: " + html_escaped(r.tool_name)) +
                     pre("command", r.command);
            },
            [](const entries::TurnSummary& r) { return div("summary", html_escaped(r.text)); },
            [&entry](const auto&) { return pre("drawn", drawn_text(entry)); },
        },
        entry.record);
  }
  out += "</body>\n</html>\n";
  return out;
}

}  // namespace host::tui
