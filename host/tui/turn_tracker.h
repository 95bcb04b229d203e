#pragma once
// What the chat screen knows of the turn that is running, gathered from the agent's events on
// the UI thread: when it began, the tools it called, the token estimate, and the stage or
// thinking peek the status line shows. The answer itself is the transcript's to keep.

#include <chrono>
#include <string>
#include <string_view>
#include <vector>

#include "host/agent/agent_events.h"

namespace host::tui {

class TurnTracker {
 public:
  using Clock = std::chrono::steady_clock;

  void begin(Clock::time_point now);
  // Takes in one agent event.
  void on_event(const events::TypedEvent& event);

  [[nodiscard]] double elapsed(Clock::time_point now) const;
  [[nodiscard]] const std::vector<std::string>& tools() const { return tools_; }
  // Estimated tokens produced: the count the latest thinking or answer chunk carried (the
  // output manager's), 0 before any.
  [[nodiscard]] long long tokens() const { return tokens_; }
  // What the agent is doing, in a few words: its stage, else its thinking peek, else a verb.
  [[nodiscard]] std::string activity() const;

  // The status line's text: glyph, activity, elapsed time and token estimate.
  [[nodiscard]] std::string status_text(Clock::time_point now, long long tick) const;

 private:
  // A chunk's running count, when it carries one.
  void take_count(long long tokens);

  Clock::time_point started_{};
  std::vector<std::string> tools_;
  long long tokens_ = 0;
  std::string stage_;
  std::string peek_;
  bool streaming_ = false;
};

// "12s", "2m05s": the elapsed time as the status line shows it.
[[nodiscard]] std::string short_duration(double seconds);
// "850", "1.2k": a token count as the status line shows it.
[[nodiscard]] std::string short_count(long long n);

}  // namespace host::tui
