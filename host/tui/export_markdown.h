#pragma once
// The transcript as Markdown: prompts quoted, answers as the agent wrote them, thinking in a
// collapsed <details>, tool calls, results and the approval's command as fenced blocks (a diff
// as ```diff). Text that is not the agent's Markdown is escaped or fenced so that it parses
// back as the block it was written as, whatever it holds.

#include <string>
#include <string_view>
#include <vector>

#include "zell/tui/widgets/scrollback/history_entry.h"

namespace host::tui {

[[nodiscard]] std::string transcript_markdown(
    const std::vector<zell::tui::widgets::HistoryEntry>& history);

// `text` in a fenced code block whose fence is longer than any run of backticks inside it.
[[nodiscard]] std::string fenced(std::string_view text, std::string_view info = {});

// `text` with every ASCII punctuation character backslash-escaped and line breaks kept as hard
// breaks, so it reads back as the same characters in one paragraph.
[[nodiscard]] std::string escaped_paragraph(std::string_view text);

// The text an entry of a kind the exporters do not know drew on screen, row by row.
[[nodiscard]] std::string drawn_text(const zell::tui::widgets::HistoryEntry& entry);

}  // namespace host::tui
