#pragma once
// One tool call as the agent has described it so far: `tool_call` starts it and each
// `tool_call_update` (or a permission request about it) changes the fields it carries; a field
// that is absent or null keeps its value.

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "host/acp/json_rpc.h"

namespace host::acp {

class TerminalService;

struct ToolCallState {
  std::string id;
  std::string title;
  std::string kind = "other";
  std::string status = "pending";
  Json content = Json::array();
  Json locations = Json::array();
  Json raw_input;
  Json raw_output;
  std::string meta_output;  // terminal output the agent reported in _meta itself
  std::optional<int> meta_exit_code;

  int index = -1;  // the output manager's index once its header was shown
  bool result_shown = false;
  // Shown as one item that changes in place: what its result lines last said.
  bool live_shown = false;
  std::string live_result;

  // Takes the fields `update` carries (a tool_call, tool_call_update or a permission's toolCall).
  void merge(const Json& update);
  [[nodiscard]] bool finished() const { return status == "completed" || status == "failed"; }
};

// The transcript's tool name for an ACP tool kind: a name its tool headers know ("read_file",
// "edit_file", "bash", …) or a word of its own ("Delete", "Move", "Think").
[[nodiscard]] std::string_view tool_name_for_kind(std::string_view kind);

// What the header shows after the tool's name: the title, else the command, else the first path.
[[nodiscard]] std::string tool_summary(const ToolCallState& tool);

// The command a tool runs (rawInput.command, with its args), when it says.
[[nodiscard]] std::string tool_command(const ToolCallState& tool);

// The tool's result lines: its content (diffs as unified diffs with paths relative to `cwd`,
// text as it is, terminals as their output), else its raw output.
[[nodiscard]] std::string tool_result_text(const ToolCallState& tool,
                                           const std::filesystem::path& cwd,
                                           const TerminalService* terminals);

// Only the diffs of its content, as unified diffs (empty when it has none).
[[nodiscard]] std::string tool_diffs(const ToolCallState& tool, const std::filesystem::path& cwd);

// Whether one of its diffs is for `file` (relative paths taken from `cwd`) and makes the same
// change as turning `before` (none: a new file) into `after`: the same lines removed and added,
// in the same order. Context is not compared, so a diff of only the edited part of a file
// matches a write of the whole file.
[[nodiscard]] bool tool_shows_change(const ToolCallState& tool, const std::filesystem::path& file,
                                     const std::filesystem::path& cwd,
                                     const std::optional<std::string>& before,
                                     std::string_view after);

}  // namespace host::acp
