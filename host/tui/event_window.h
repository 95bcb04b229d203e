#pragma once
// A bound on the agent events posted to the UI thread and not yet handled. The agent's worker
// can produce events far faster than a screen can show them (a 50 MB answer is two million
// chunks); without a bound they would pile up in the message queue. The worker waits in
// `enter` while the window is full; the UI thread `leave`s once per handled event; `close`
// releases the worker for good when the application ends.

#include <condition_variable>
#include <cstddef>
#include <mutex>

namespace host::tui {

class EventWindow {
 public:
  explicit EventWindow(std::size_t size) : size_(size) {}

  // Worker thread: waits for room; returns false once closed (the event is then not posted).
  bool enter() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return closed_ || in_flight_ < size_; });
    if (closed_) return false;
    ++in_flight_;
    return true;
  }
  // UI thread: one event handled.
  void leave() {
    {
      std::lock_guard lock(mutex_);
      if (in_flight_ > 0) --in_flight_;
    }
    cv_.notify_one();
  }
  void close() {
    {
      std::lock_guard lock(mutex_);
      closed_ = true;
    }
    cv_.notify_all();
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  const std::size_t size_;
  std::size_t in_flight_ = 0;
  bool closed_ = false;
};

}  // namespace host::tui
