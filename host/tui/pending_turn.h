#pragma once
// A prompt waiting for the agent, and the message that says a turn has ended.

#include <memory>
#include <string>
#include <vector>

#include "host/script.h"
#include "termui/message.h"

namespace host::tui {

struct PendingTurn {
  std::string prompt;
  bool show_prompt = true;
  // The steps a script plays for this prompt; null for a prompt the user typed.
  std::shared_ptr<const std::vector<Step>> steps;
};

// Posted by the worker thread once the agent has returned from a turn. `failure` is the
// error that ended it early, empty when it ran to its end (or was interrupted, which the
// agent reports itself).
class TurnFinished : public termui::Message {
 public:
  explicit TurnFinished(std::string failure) : failure(std::move(failure)) {}
  std::string failure;
};

}  // namespace host::tui
