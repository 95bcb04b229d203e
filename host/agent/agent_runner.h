#pragma once
// The agent's side of the full screen: the worker thread and the agents that run on it. A turn
// with script steps is played by the scripted agent; a prompt the user typed goes to the
// configured agent (the demo, a model server, or any other `Agent`), and so does a start of a
// new conversation (it may wait on the agent as long as a turn). When a turn has ended,
// `finished` is called on the worker thread with its outcome.

#include <functional>
#include <memory>
#include <string>

#include "host/agent/agent.h"
#include "host/agent/pending_turn.h"
#include "host/agent/turn_worker.h"
#include "zell/output/output_manager.h"

namespace host {

class AgentRunner {
 public:
  using Finished = std::function<void(TurnOutcome)>;

  // `typed` answers the prompts the user types; `speed` paces script playback; `out` takes the
  // scripted agent's own lines.
  AgentRunner(zell::output::OutputManager& manager, std::unique_ptr<Agent> typed, double speed,
              std::shared_ptr<zell::output::Writer> out, Finished finished);
  ~AgentRunner() { stop(); }
  AgentRunner(const AgentRunner&) = delete;
  AgentRunner& operator=(const AgentRunner&) = delete;

  // UI thread: runs `turn` on the worker, once the previous turn's thread has ended. `mode` is
  // the runtime mode picked on the start-up screen; it applies from this turn on.
  void start(const PendingTurn& turn, const std::string& mode);
  // UI thread: the running turn stops at its next step; a request to a server closes at once.
  void interrupt();
  // UI thread, between turns: the agent that answers typed prompts.
  [[nodiscard]] Agent& typed_agent() { return *typed_; }
  [[nodiscard]] const Agent& typed_agent() const { return *typed_; }
  // Interrupts and waits for the worker to end. Safe to call more than once.
  void stop();

 private:
  TurnOutcome play(const PendingTurn& turn, StopSignal& stop);

  zell::output::OutputManager& manager_;
  std::unique_ptr<Agent> typed_;
  double speed_;
  std::shared_ptr<zell::output::Writer> out_;
  Finished finished_;
  TurnWorker worker_;
};

}  // namespace host
