#pragma once
// What the chat screen knows of the turn that is running, gathered from the agent's events on
// the UI thread: when it began, the tools it called, the answer so far, a token estimate, and
// the stage or thinking peek the status line shows.

#include <chrono>
#include <string>
#include <string_view>
#include <utility>
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
  // The answer as streamed so far, chunks joined. The full screen's one copy of it: the
  // transcript shows it as it streams and records it from here when it ends.
  [[nodiscard]] const std::string& answer() const { return answer_; }
  // Hands the answer over to the transcript, once: the next answer starts empty.
  [[nodiscard]] std::string take_answer() { return std::exchange(answer_, {}); }
  // Estimated tokens produced: each thinking or answer chunk counts a quarter of its
  // characters, at least one, as the output manager counts them.
  [[nodiscard]] long long tokens() const { return tokens_; }
  // What the agent is doing, in a few words: its stage, else its thinking peek, else a verb.
  [[nodiscard]] std::string activity() const;

  // The status line's text: glyph, activity, elapsed time and token estimate.
  [[nodiscard]] std::string status_text(Clock::time_point now, long long tick) const;

 private:
  Clock::time_point started_{};
  std::vector<std::string> tools_;
  std::string answer_;
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
