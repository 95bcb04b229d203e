#pragma once
// A manual-reset event: once set it stays set, waking every waiter, until it is cleared.

#include <condition_variable>
#include <mutex>

namespace zell::tui {

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
  [[nodiscard]] bool is_set() {
    std::lock_guard lock(mutex_);
    return flag_;
  }

 private:
  std::mutex mutex_;
  std::condition_variable cv_;
  bool flag_ = false;
};

}  // namespace zell::tui
