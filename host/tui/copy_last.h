#pragma once
// Copying from the keyboard, for terminals where the mouse cannot select: the last answer, or
// the last code block of the answers, goes to the clipboard the way a mouse selection does
// (OSC 52, else a clipboard command).

#include <optional>
#include <string>
#include <vector>

#include "zell/tui/widgets/scrollback/history_entry.h"
#include "zell/tui/widgets/scrollback/scrollback.h"

namespace host::tui {

enum class CopyWhat { answer, code_block };

// The text of the last answer, all its parts between tool calls joined by a blank line / of
// the last fenced or indented code block in the answers (searching back from the last
// answer); nothing when there is none.
[[nodiscard]] std::optional<std::string> last_answer(
    const std::vector<zell::tui::widgets::HistoryEntry>& history);
[[nodiscard]] std::optional<std::string> last_code_block(
    const std::vector<zell::tui::widgets::HistoryEntry>& history);

// Puts what `what` names on the clipboard through the transcript's clipboard road; returns the
// line to tell the user (what was copied, or why nothing was).
std::string copy_last(zell::tui::widgets::Scrollback& log, CopyWhat what);

}  // namespace host::tui
