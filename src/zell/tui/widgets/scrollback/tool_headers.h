#pragma once
// The transcript's names for the agent's tools: a display name for headers and the turn
// summary, and a verb that no transcript line reads.

#include <array>
#include <string_view>
#include <utility>

namespace zell::tui::widgets {

struct ToolHeader {
  std::string_view tool;
  std::string_view display_name;
  std::string_view verb;
};

inline constexpr std::array<ToolHeader, 9> TOOL_HEADERS{{
    {"bash", "Bash", "ran"},
    {"read_file", "Read", "read"},
    {"write_file", "Write", "wrote"},
    {"edit_file", "Update", "updated"},
    {"grep", "Search", "searched"},
    {"glob", "Glob", "found"},
    {"web_search", "WebSearch", "searched web"},
    {"web_fetch", "WebFetch", "fetched"},
    {"multi_edit", "MultiEdit", "edited"},
}};

// (display name, verb) of a tool; a tool not in the table (matched exactly, case-sensitive) is
// shown under its own name: (name, name).
[[nodiscard]] constexpr std::pair<std::string_view, std::string_view> header_info(
    std::string_view name) {
  for (const ToolHeader& h : TOOL_HEADERS) {
    if (h.tool == name) return {h.display_name, h.verb};
  }
  return {name, name};
}

}  // namespace zell::tui::widgets
