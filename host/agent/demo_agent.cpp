#include "host/agent/demo_agent.h"

namespace host {

DemoAgent::DemoAgent(zell::output::OutputManager& manager, std::string config_path, double speed,
                     std::shared_ptr<zell::output::Writer> out)
    : manager_(manager),
      config_path_(std::move(config_path)),
      speed_(speed),
      out_(std::move(out)) {}

TurnOutcome DemoAgent::run_turn(std::string_view /*prompt*/, StopSignal& stop) {
  ScriptedAgent agent(manager_, {}, AgentOptions{speed_, &stop}, out_);
  agent.play(demo_runtime_reply(config_path_));
  return {};
}

}  // namespace host
