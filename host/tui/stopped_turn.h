#pragma once
// A turn the user has stopped, as the transcript shows it: its end is drawn with the key
// (the stopped line, for example "Cancelled"), whatever the agent then takes to wind down.
// Until the turn is over, what the agent still sends is judged here: more of the answer or
// of its thinking is dropped, the agent's own word that it stopped is not drawn a second
// time, and a reason added to it ("Cancelled (the agent did not confirm it)") amends the line
// in place. Everything else (tool calls ending, errors) is shown as usual.

#include <cstddef>
#include <optional>
#include <string>

#include "host/agent/agent_events.h"

namespace host::tui {

class StoppedTurn {
 public:
  enum class Verdict { show, drop, amend };

  // The running turn was stopped; its line is `line`, drawn as the transcript's entry `entry`.
  void stopped(std::string line, std::size_t entry) { stopped_ = Stop{std::move(line), entry}; }
  // The turn is over: every event is shown again.
  void over() { stopped_.reset(); }
  [[nodiscard]] bool active() const { return stopped_.has_value(); }
  [[nodiscard]] std::size_t entry() const { return stopped_ ? stopped_->entry : 0; }

  // What becomes of `event` (shown as usual when no turn was stopped).
  [[nodiscard]] Verdict judge(const events::TypedEvent& event) const;

 private:
  struct Stop {
    std::string line;
    std::size_t entry = 0;
  };
  std::optional<Stop> stopped_;
};

}  // namespace host::tui
