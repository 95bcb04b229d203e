#pragma once
// A request to stop, raised by one thread and seen by another, and a sleep that wakes as soon
// as it is raised: the agent's pauses between steps end at once on Ctrl+C.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace host {

class StopSignal {
 public:
  void request() {
    {
      std::lock_guard lock(mutex_);
      requested_ = true;
    }
    cv_.notify_all();
  }
  void reset() {
    std::lock_guard lock(mutex_);
    requested_ = false;
  }
  [[nodiscard]] bool requested() const {
    std::lock_guard lock(mutex_);
    return requested_;
  }
  // Sleeps for `seconds` or until a stop is requested; returns whether one was.
  bool wait_for(double seconds) {
    std::unique_lock lock(mutex_);
    cv_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return requested_; });
    return requested_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool requested_ = false;
};

}  // namespace host
