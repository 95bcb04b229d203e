#pragma once
// A prompt waiting for the agent: typed by the user, or one turn of a script with its steps; or,
// with no prompt, the agent's start of a new conversation (which may wait on the agent as long
// as a turn does, so it runs where turns run).

#include <memory>
#include <string>
#include <vector>

#include "host/agent/script.h"

namespace host {

struct PendingTurn {
  std::string prompt;
  bool show_prompt = true;
  // The steps a script plays for this prompt; null for a prompt the user typed.
  std::shared_ptr<const std::vector<Step>> steps;
  bool new_conversation = false;
};

}  // namespace host
