#pragma once
// The prompts a person sent, kept across runs: oldest first, at most LIMIT, a prompt sent twice
// in a row kept once. Stored as JSON Lines (one JSON string per prompt, so a prompt keeps its
// line breaks) and rewritten whole through a temporary file and a rename, so that a crash
// leaves the old file or the new one, never half of one. A line that does not read back as
// text is dropped on loading; a failed save leaves the prompts of this run in memory.

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host::tui {

class PromptHistory {
 public:
  static constexpr std::size_t LIMIT = 1000;

  // No file: the history of this run only.
  PromptHistory() = default;
  // Reads `path` when it exists; `add` writes it.
  explicit PromptHistory(std::filesystem::path path);

  // $XDG_STATE_HOME/vellumine/history, else ~/.local/state/vellumine/history; empty when
  // neither is known.
  [[nodiscard]] static std::optional<std::filesystem::path> default_path();

  [[nodiscard]] const std::vector<std::string>& entries() const { return entries_; }
  // Remembers a sent prompt (blank ones and text that is not valid UTF-8 are not kept) and
  // saves. Returns false when the save failed.
  bool add(std::string_view prompt);

  // The newest entries holding `query` (case as typed), newest first, at most `limit`.
  [[nodiscard]] std::vector<std::string> search(std::string_view query, std::size_t limit) const;

 private:
  bool save() const;

  std::optional<std::filesystem::path> path_;
  std::vector<std::string> entries_;
};

}  // namespace host::tui
