#pragma once
// The agent of the demo runtime: every prompt gets the short streamed answer that says this is
// the demo and how to point the configuration file at a model server.

#include <memory>
#include <string>

#include "host/agent/agent.h"
#include "host/agent/scripted_agent.h"

namespace host {

class DemoAgent final : public Agent {
 public:
  DemoAgent(zell::output::OutputManager& manager, std::string config_path, double speed,
            std::shared_ptr<zell::output::Writer> out);

  TurnOutcome run_turn(std::string_view prompt, StopSignal& stop) override;

 private:
  zell::output::OutputManager& manager_;
  std::string config_path_;
  double speed_;
  std::shared_ptr<zell::output::Writer> out_;
};

}  // namespace host
