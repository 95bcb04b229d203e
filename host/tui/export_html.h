#pragma once
// The transcript as one self-contained HTML page in the transcript's colours. Answers are
// Markdown rendered by cmark-gfm in its safe mode (raw HTML left out, javascript: and other
// dangerous link targets emptied); every other text is escaped. The page holds no script and
// loads nothing.

#include <string>
#include <string_view>
#include <vector>

#include "zell/tui/widgets/scrollback/history_entry.h"

namespace host::tui {

[[nodiscard]] std::string transcript_html(
    const std::vector<zell::tui::widgets::HistoryEntry>& history);

// `text` with &, <, >, " and ' written as entities and terminal controls made visible.
[[nodiscard]] std::string html_escaped(std::string_view text);

// Markdown as HTML, cmark-gfm's safe rendering with tables, strikethrough, autolinks and
// task lists.
[[nodiscard]] std::string markdown_html(std::string_view markdown);

}  // namespace host::tui
