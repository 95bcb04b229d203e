#pragma once
// The ACP agent behind the full screen's agent runner. The first interrupt of a turn sends
// session/cancel and lets the agent end it; another one (a second Ctrl+C, or the app closing)
// stops waiting for the agent at once. The agent process ends with this object.

#include <memory>
#include <string_view>

#include "host/acp/acp_agent.h"
#include "host/agent/agent.h"

namespace host::acp {

class AcpRunnerAgent final : public host::Agent {
 public:
  AcpRunnerAgent(zell::output::OutputManager& manager, AcpOptions options,
                 PermissionAsker asker = {})
      : agent_(manager, std::move(options), std::move(asker)) {}

  TurnOutcome run_turn(std::string_view prompt, StopSignal& /*stop*/) override {
    // The agent ends every turn through the manager (done, or a line saying why).
    return {{}, agent_.run_turn(prompt).completion_tokens};
  }
  void cancel() override {
    if (!agent_.cancel()) agent_.abandon();
  }
  [[nodiscard]] std::string_view stopped_line() const override { return "Cancelled"; }
  [[nodiscard]] std::vector<AgentCommand> commands() const override {
    std::vector<AgentCommand> out;
    for (const AvailableCommand& c : agent_.available_commands()) {
      out.push_back({c.name, c.description});
    }
    return out;
  }
  void new_conversation() override { agent_.new_session(); }

  // The start-up screen's check, before the first turn: `reset` (on the UI thread) ends what a
  // failed start left, then `start` (on a thread of its own) launches the agent and opens its
  // session; AcpError says why it could not. `cancel` stops a start in progress.
  void reset() { agent_.reset(); }
  const AgentInfo& start() {
    agent_.start();
    return agent_.info();
  }

 private:
  AcpAgent agent_;
};

}  // namespace host::acp
