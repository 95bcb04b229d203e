#pragma once
// Transcript items that change after they are drawn: an agent's tool call, which moves from
// pending to running to done (or failed) and gathers its output meanwhile, and the agent's plan,
// whose entries move on. The host puts each new state in place of the old one
// (Scrollback::replace_entry).

#include <string>
#include <string_view>
#include <vector>

namespace zell::tui::widgets::entries {

// A tool call: its header with a mark for its status, then its result lines so far.
struct ToolCall {
  static constexpr std::string_view kind = "tool_call";
  std::string id;      // the agent's name for the call
  std::string name;    // the tool, as the headers know it ("bash", "read_file", …)
  std::string args;    // what the header shows after the name
  std::string status;  // pending, in_progress, completed or failed
  std::string result;
  bool error = false;
};

// The agent's plan: its entries, each with its status (pending, in_progress, completed) and
// priority (high, medium, low).
struct Plan {
  static constexpr std::string_view kind = "plan";
  struct Item {
    std::string content;
    std::string status;
    std::string priority;
    friend bool operator==(const Item&, const Item&) = default;
  };
  std::vector<Item> items;
};

}  // namespace zell::tui::widgets::entries
