#pragma once
// The text the transcript's search reads for each entry: what the entry shows, unfolded (a
// folded thinking block's whole text, a tool's whole result), with controls as the rows show
// them. Most entries show one field of their record as it is: their text is read in place;
// the others (tool headers, approvals, plans) have theirs put together once. An answer drawn
// as Markdown shows neither its markers nor its line breaks as written: its text is read from
// the rows it drew.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "termui/strip.h"
#include "zell/tui/widgets/scrollback/history_entry.h"

namespace zell::tui::widgets {

// The one field the entry shows, when that is all it shows (a prompt, an answer, a result);
// nullopt for the entries whose text is put together.
[[nodiscard]] std::optional<std::string_view> shown_field(const EntryRecord& record);

// The entry's whole text as searched, with control characters made visible.
[[nodiscard]] std::string search_text(const EntryRecord& record);

// Whether the entry's text is the text of the rows it drew (an answer drawn as Markdown).
[[nodiscard]] bool searched_in_rows(const EntryRecord& record);
// The rows' text, one line each, without the spaces that pad them.
[[nodiscard]] std::string rows_text(const std::vector<termui::Strip>& rows);

}  // namespace zell::tui::widgets
