#pragma once
// What a line of a unified diff is, by its first characters.

#include <string_view>

namespace unicode {

enum class DiffLine { file_header, added, removed, hunk, other };

// "---"/"+++" are the file headers, never a removed or added line.
inline DiffLine diff_line_kind(std::string_view line) {
  if (line.starts_with("+++") || line.starts_with("---")) return DiffLine::file_header;
  if (line.starts_with('+')) return DiffLine::added;
  if (line.starts_with('-')) return DiffLine::removed;
  if (line.starts_with("@@")) return DiffLine::hunk;
  return DiffLine::other;
}

}  // namespace unicode
