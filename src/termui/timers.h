#pragma once
// Timers of the App: callbacks run on the UI thread at or after their due time. Not
// thread-safe; only the UI thread uses them.

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace termui {

class Timers;

// Stops a timer. Copyable; stopping a finished or already stopped timer does nothing.
class Timer {
 public:
  Timer() = default;
  void stop();
  [[nodiscard]] bool active() const;

 private:
  friend class Timers;
  Timer(std::weak_ptr<bool> alive) : alive_(std::move(alive)) {}
  std::weak_ptr<bool> alive_;
};

class Timers {
 public:
  using Clock = std::chrono::steady_clock;

  // `interval` zero means one shot.
  Timer add(Clock::time_point due, Clock::duration interval, std::function<void()> callback);
  // Runs every timer due at `now`; a repeating timer is rescheduled from its due time, skipping
  // missed ticks rather than running them in a burst.
  void run_due(Clock::time_point now);
  [[nodiscard]] std::optional<Clock::time_point> next_due() const;

 private:
  struct Entry {
    Clock::time_point due;
    Clock::duration interval;
    std::function<void()> callback;
    std::shared_ptr<bool> alive;
  };
  std::vector<Entry> entries_;
};

}  // namespace termui
