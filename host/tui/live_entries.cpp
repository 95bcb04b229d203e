#include "host/tui/live_entries.h"

namespace host::tui {

namespace entries = zell::tui::widgets::entries;

void LiveEntries::show(zell::tui::widgets::Scrollback& log, const events::ToolCall& call) {
  entries::ToolCall record{call.id, call.name, call.args, call.status, call.result, call.error};
  // The index is checked against what it holds: the transcript may have been cleared since.
  const auto known = calls_.find(call.id);
  if (known != calls_.end() && known->second < log.history().size()) {
    const auto* drawn = log.history()[known->second].as<entries::ToolCall>();
    if (drawn != nullptr && drawn->id == call.id) {
      log.replace_entry(known->second, std::move(record));
      return;
    }
  }
  log.append(std::move(record));
  calls_[call.id] = log.history().size() - 1;
}

void LiveEntries::show(zell::tui::widgets::Scrollback& log, const events::Plan& plan) {
  entries::Plan record;
  for (const events::PlanEntry& e : plan.entries) {
    record.items.push_back({e.content, e.status, e.priority});
  }
  if (plan_ && *plan_ < log.history().size() &&
      log.history()[*plan_].as<entries::Plan>() != nullptr) {
    log.replace_entry(*plan_, std::move(record));
    return;
  }
  log.append(std::move(record));
  plan_ = log.history().size() - 1;
}

}  // namespace host::tui
