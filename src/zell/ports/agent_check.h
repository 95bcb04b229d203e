#pragma once
// The host's own agent, which the start-up screen checks instead of the model server: the host
// starts it in the background (the screen's keys stay live meanwhile) and the screen asks, now
// and then, how it went.

#include <optional>
#include <string>

namespace zell::ports {

struct AgentHealth {
  bool ready = false;
  std::string agent;  // its name and version, as it introduced itself
  std::string error;  // why it did not start, with the last lines it wrote on its error output
};

class AgentCheck {
 public:
  virtual ~AgentCheck() = default;
  // What the agent is called before it answers (its command).
  [[nodiscard]] virtual std::string name() const = 0;
  // nullopt while the check runs. UI thread.
  [[nodiscard]] virtual std::optional<AgentHealth> result() = 0;
};

}  // namespace zell::ports
