#pragma once
// The text the transcript's search reads for each entry: what the entry shows, unfolded (a
// folded thinking block's whole text, a tool's whole result), with controls as the rows show
// them. Most entries show one field of their record as it is: their text is read in place;
// the others (tool headers, approvals, plans) have theirs put together once.

#include <optional>
#include <string>
#include <string_view>

#include "zell/tui/widgets/scrollback/history_entry.h"

namespace zell::tui::widgets {

// The one field the entry shows, when that is all it shows (a prompt, an answer, a result);
// nullopt for the entries whose text is put together.
[[nodiscard]] std::optional<std::string_view> shown_field(const EntryRecord& record);

// The entry's whole text as searched, with control characters made visible.
[[nodiscard]] std::string search_text(const EntryRecord& record);

}  // namespace zell::tui::widgets
