#include "host/tui/copy_last.h"

#include <cmark-gfm.h>
#include <fmt/format.h>

#include <memory>

#include "termui/clipboard.h"
#include "unicode/utf8.h"

namespace host::tui {
namespace entries = zell::tui::widgets::entries;

namespace {

// The last code block of one answer's Markdown.
std::optional<std::string> code_block_of(const std::string& markdown) {
  std::unique_ptr<cmark_node, void (*)(cmark_node*)> doc(
      cmark_parse_document(markdown.data(), markdown.size(), CMARK_OPT_DEFAULT), cmark_node_free);
  std::optional<std::string> last;
  std::unique_ptr<cmark_iter, void (*)(cmark_iter*)> it(cmark_iter_new(doc.get()), cmark_iter_free);
  for (cmark_event_type ev; (ev = cmark_iter_next(it.get())) != CMARK_EVENT_DONE;) {
    cmark_node* n = cmark_iter_get_node(it.get());
    if (ev == CMARK_EVENT_ENTER && cmark_node_get_type(n) == CMARK_NODE_CODE_BLOCK) {
      last = cmark_node_get_literal(n);
    }
  }
  return last;
}

}  // namespace

std::optional<std::string> last_answer(
    const std::vector<zell::tui::widgets::HistoryEntry>& history) {
  // Tool calls split a turn's answer into parts: the parts from the last one back to the
  // prompt that asked for them, in order.
  auto last = history.rbegin();
  while (last != history.rend() && !last->as<entries::Assistant>()) ++last;
  if (last == history.rend()) return std::nullopt;
  std::vector<const std::string*> parts;
  for (auto it = last; it != history.rend() && !it->as<entries::User>(); ++it) {
    if (const auto* a = it->as<entries::Assistant>()) parts.push_back(&a->text);
  }
  std::string answer;
  for (auto part = parts.rbegin(); part != parts.rend(); ++part) {
    if (!answer.empty()) answer += answer.ends_with('\n') ? "\n" : "\n\n";
    answer += **part;
  }
  return answer;
}

std::optional<std::string> last_code_block(
    const std::vector<zell::tui::widgets::HistoryEntry>& history) {
  for (auto it = history.rbegin(); it != history.rend(); ++it) {
    if (const auto* a = it->as<entries::Assistant>()) {
      if (auto code = code_block_of(a->text)) return code;
    }
  }
  return std::nullopt;
}

std::string copy_last(zell::tui::widgets::Scrollback& log, CopyWhat what) {
  const bool answer = what == CopyWhat::answer;
  const auto text = answer ? last_answer(log.history()) : last_code_block(log.history());
  const char* name = answer ? "answer" : "code block";
  if (!text) return fmt::format("No {} to copy yet.", name);
  try {
    log._set_clipboard_osc52(*text);
  } catch (const termui::ClipboardError& e) {
    return fmt::format("Could not copy the {}: {}", name, e.what());
  }
  return fmt::format("Copied the last {} ({} characters).", name, unicode::cp_count(*text));
}

}  // namespace host::tui
