#pragma once
// The message that says a turn has ended.

#include <optional>
#include <string>

#include "termui/message.h"

namespace host::tui {

// Posted by the worker thread once the agent has returned from a turn. `failure` is the
// error that ended it early, empty when it ran to its end (or was interrupted, which the
// agent reports itself). `tokens` is the turn's token count when the model server sent one.
class TurnFinished : public termui::Message {
 public:
  explicit TurnFinished(std::string failure, std::optional<long long> tokens = std::nullopt)
      : failure(std::move(failure)), tokens(tokens) {}
  std::string failure;
  std::optional<long long> tokens;
};

}  // namespace host::tui
