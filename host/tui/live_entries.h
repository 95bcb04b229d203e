#pragma once
// The agent's items that change after they are drawn: each tool call, known by its id, and the
// turn's plan are drawn once and then redrawn where they stand as new states arrive.

#include <map>
#include <optional>
#include <string>

#include "host/agent/agent_events.h"
#include "zell/tui/widgets/scrollback/scrollback.h"

namespace host::tui {

class LiveEntries {
 public:
  void show(zell::tui::widgets::Scrollback& log, const events::ToolCall& call);
  void show(zell::tui::widgets::Scrollback& log, const events::Plan& plan);
  // A new turn draws its plan as a block of its own.
  void new_turn() { plan_.reset(); }

 private:
  std::map<std::string, std::size_t> calls_;  // id → history index
  std::optional<std::size_t> plan_;
};

}  // namespace host::tui
