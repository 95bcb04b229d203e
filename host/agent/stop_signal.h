#pragma once
// A request to stop, raised by one thread and seen by another, and a sleep that wakes as soon
// as it is raised: the agent's pauses between steps end at once on Ctrl+C.

#include "zell/manual_reset_event.h"

namespace host {

class StopSignal {
 public:
  void request() { event_.set(); }
  void reset() { event_.clear(); }
  [[nodiscard]] bool requested() const { return event_.is_set(); }
  // Sleeps for `seconds` or until a stop is requested; returns whether one was.
  bool wait_for(double seconds) { return event_.wait_for(seconds); }

 private:
  zell::ManualResetEvent event_;
};

}  // namespace host
