#pragma once
// The whole application driven by an Agent Client Protocol agent (a child process), for the
// ACP benchmarks: the burst's chunks counted as the UI thread handles them, text looked for on
// each frame, and Ctrl+C timed from the key to the stopped turn on screen.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "bench/app/bench_app.h"
#include "host/acp/acp_agent.h"

namespace bench_acp {

using bench_app::Clock;

// How many of a burst's chunks ("w12", " w13", …: one 'w' each) a piece of answer holds; the
// client may join chunks that queue up, so events are not counted.
std::size_t burst_chunks_in(std::string_view text);

class AcpApp final : public bench_app::BenchApp {
 public:
  explicit AcpApp(host::acp::AcpOptions options);
  bool post_message(std::unique_ptr<termui::Message> message) override;

  // From any thread: waits until no turn runs.
  void wait_idle();

  std::size_t handled = 0;                    // burst chunks handled so far (UI thread)
  std::size_t events = 0;                     // the content events that carried them
  std::vector<Clock::time_point> handled_at;  // per chunk: when the UI thread took it
};

// What a frame may be waited for: a text anywhere on screen, or which of a waiting turn's line
// and a stopped turn's line ("Interrupted", "cancelled") is the last one on screen.
struct Sight {
  enum class Last { none, waiting, stopped };
  std::string text;
  Last last = Last::none;
  std::string waiting;  // the waiting turn's line, for `last`
};

// Looks for a Sight on each frame (`on_frame` on the UI thread; the rest from others).
class ScreenWatch {
 public:
  explicit ScreenWatch(AcpApp& app) : app_(app) {}
  void on_frame(Clock::time_point at);
  void watch(Sight sight);
  // Waits until a frame showed what is watched; the frame's time.
  Clock::time_point wait_seen();

 private:
  AcpApp& app_;
  std::optional<Sight> sight_;
  std::optional<Clock::time_point> seen_at_;
};

// Ctrl+C to the stopped turn on screen, `rounds` times: each round sends `prompt`, waits for
// the turn's `waiting` line, presses Ctrl+C and waits for the frame that shows the turn
// stopped. Milliseconds, one a round. `over_ms`, when given, gets the time from the key to the
// turn's end behind the screen (the agent's confirmation; polled, so within a few ms).
std::vector<double> time_cancels(AcpApp& app, bench_app::UiThread& ui, ScreenWatch& screen,
                                 const std::string& prompt, const std::string& waiting, int rounds,
                                 std::vector<double>* over_ms = nullptr);

}  // namespace bench_acp
