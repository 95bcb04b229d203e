#pragma once
// The two messages the agent's worker thread posts to the full-screen application.

#include <memory>
#include <stdexcept>
#include <string>

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

// The agent asks the user to approve a destructive command; the worker waits for the answer.
class ApprovalRequest : public termui::Message {
 public:
  ApprovalRequest(std::string tool_name, std::string command)
      : tool_name(std::move(tool_name)), command(std::move(command)) {}

  std::string tool_name;
  std::string command;
};

}  // namespace zell::tui
