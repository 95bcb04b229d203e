#pragma once
// The two messages the agent's worker thread posts to the full-screen application.

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "termui/message.h"
#include "zell/payload.h"

namespace zell::tui {

// One agent event. `payload` is the very mapping the emitter built, shared, not a copy.
class AgentEvent : public termui::Message {
 public:
  AgentEvent(std::string event_type, std::shared_ptr<Payload> payload)
      : event_type(std::move(event_type)), payload(std::move(payload)) {
    if (!this->payload) throw std::invalid_argument("AgentEvent: payload must not be null");
  }

  std::string event_type;
  std::shared_ptr<Payload> payload;
};

// The agent asks the user to approve a command (or a change); the worker waits for the answer.
// Without options the answers are "allow" (choice 0) and "deny" (choice 1); with them, the
// answer is the index of one of them. Either way the question may also be cancelled.
class ApprovalRequest : public termui::Message {
 public:
  ApprovalRequest(std::string tool_name, std::string command, std::vector<std::string> options = {})
      : tool_name(std::move(tool_name)), command(std::move(command)), options(std::move(options)) {}

  std::string tool_name;
  std::string command;
  std::vector<std::string> options;  // what each answer is called, in the order of their numbers
};

}  // namespace zell::tui
