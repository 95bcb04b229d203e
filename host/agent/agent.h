#pragma once
// An agent as the full-screen presentation drives it: one turn for a prompt, run on the
// runner's worker thread and reported step by step through the output manager the agent was
// built with, and a way to stop the running turn from the UI thread. The scripted demo, the
// model-server agent and any other agent plug in behind this.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/agent/stop_signal.h"

namespace host {

struct TurnOutcome {
  // The error that ended the turn early; empty when the turn ran to its end, and when it was
  // interrupted (the agent says so itself, through the output manager).
  std::string failure;
  // The turn's token count, when the agent knows it better than the manager's estimate.
  std::optional<long long> tokens;
};

// A slash command an agent offers (its name without the "/").
struct AgentCommand {
  std::string name;
  std::string description;
};

class Agent {
 public:
  virtual ~Agent() = default;

  // Runs one turn for `prompt` on the calling thread and returns when it has ended. Every step
  // goes through the output manager (start_thinking … done, or set_error). `stop` is raised
  // when the user interrupts: the turn ends at its next step. Errors thrown are the turn's
  // failure.
  virtual TurnOutcome run_turn(std::string_view prompt, StopSignal& stop) = 0;

  // From the UI thread while a turn runs: ends at once what waits on the outside world (an
  // open request to a server). The stop signal has been raised before this is called.
  virtual void cancel() {}
  // The line a turn the user stopped ends with, drawn as soon as the user stops it.
  [[nodiscard]] virtual std::string_view stopped_line() const { return "Interrupted"; }

  // On the UI thread, before a turn: the runtime mode the start-up screen picked. Agents
  // without modes ignore it.
  virtual void set_mode(std::string_view /*mode*/) {}

  // On the UI thread, between turns: the agent's own slash commands, as it last announced
  // them. A prompt that starts with one is sent as it is.
  [[nodiscard]] virtual std::vector<AgentCommand> commands() const { return {}; }

  // On the runner's worker thread, in place of a turn: the transcript is to be cleared, the
  // agent starts a new conversation. Throws what stops it from doing so. `cancel` may be
  // called meanwhile: an agent that waits on the outside world stops waiting (and throws).
  virtual void new_conversation() {}
};

}  // namespace host
