#pragma once
// Action words of the plain tool log's header lines.

#include <array>
#include <string_view>
#include <utility>

namespace zell::output {

inline constexpr std::array<std::pair<std::string_view, std::string_view>, 9> TOOL_HEADERS{{
    {"bash", "Ran"},
    {"read_file", "Read"},
    {"write_file", "Wrote"},
    {"edit_file", "Edited"},
    {"grep", "Searched"},
    {"glob", "Found"},
    {"list_files", "Listed"},
    {"web_search", "Searched web"},
    {"web_fetch", "Fetched"},
}};

// The action word for `name`; a name missing from the table is its own header.
[[nodiscard]] constexpr std::string_view tool_header(std::string_view name) noexcept {
  for (const auto& [tool, word] : TOOL_HEADERS) {
    if (tool == name) return word;
  }
  return name;
}

}  // namespace zell::output
