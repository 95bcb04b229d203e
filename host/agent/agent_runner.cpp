#include "host/agent/agent_runner.h"

#include <exception>

#include "host/agent/scripted_agent.h"

namespace host {

AgentRunner::AgentRunner(zell::output::OutputManager& manager, std::unique_ptr<Agent> typed,
                         double speed, std::shared_ptr<zell::output::Writer> out, Finished finished)
    : manager_(manager),
      typed_(std::move(typed)),
      speed_(speed),
      out_(std::move(out)),
      finished_(std::move(finished)) {}

void AgentRunner::start(const PendingTurn& turn, const std::string& mode) {
  if (!turn.steps && !turn.new_conversation && typed_) typed_->set_mode(mode);
  worker_.start([this, turn](StopSignal& stop) {
    TurnOutcome outcome;
    try {
      outcome = play(turn, stop);
    } catch (const std::exception& e) {
      outcome.failure = e.what();
    } catch (...) {
      outcome.failure = "the agent stopped on an unknown error";
    }
    finished_(std::move(outcome));
  });
}

TurnOutcome AgentRunner::play(const PendingTurn& turn, StopSignal& stop) {
  if (turn.new_conversation) {
    if (typed_) typed_->new_conversation();
    return {};
  }
  if (turn.steps || !typed_) {
    ScriptedAgent agent(manager_, {}, AgentOptions{speed_, &stop}, out_);
    if (turn.steps) agent.play(*turn.steps);
    return {};
  }
  return typed_->run_turn(turn.prompt, stop);
}

void AgentRunner::interrupt() {
  worker_.interrupt();
  if (typed_) typed_->cancel();
}

void AgentRunner::stop() {
  interrupt();
  worker_.stop();
}

}  // namespace host
