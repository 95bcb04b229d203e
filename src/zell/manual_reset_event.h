#pragma once
// A manual-reset event: once set it stays set, waking every waiter, until it is cleared.

#include <chrono>
#include <condition_variable>
#include <mutex>

namespace zell {

class ManualResetEvent {
 public:
  void set() {
    {
      std::lock_guard lock(mutex_);
      flag_ = true;
    }
    cv_.notify_all();
  }
  void clear() {
    std::lock_guard lock(mutex_);
    flag_ = false;
  }
  // Blocks until the event is set (returns at once when it already is).
  void wait() {
    std::unique_lock lock(mutex_);
    cv_.wait(lock, [this] { return flag_; });
  }
  // Blocks until the event is set or `seconds` have passed; returns whether it is set.
  bool wait_for(double seconds) {
    std::unique_lock lock(mutex_);
    return cv_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return flag_; });
  }
  [[nodiscard]] bool is_set() const {
    std::lock_guard lock(mutex_);
    return flag_;
  }

 private:
  mutable std::mutex mutex_;
  std::condition_variable cv_;
  bool flag_ = false;
};

}  // namespace zell
