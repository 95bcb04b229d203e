#include "host/runtime/request_watch.h"

#include <algorithm>
#include <utility>

namespace host::runtime {

namespace {

// How often a fired watch repeats the stop until the request has ended.
constexpr std::chrono::milliseconds kRestopPeriod{10};

}  // namespace

RequestWatch::RequestWatch(std::function<void()> stop, Clock::duration idle)
    : stop_(std::move(stop)),
      idle_(idle),
      last_activity_(Clock::now().time_since_epoch().count()),
      last_text_(last_activity_.load()) {
  thread_ = std::thread([this] { run(); });
}

RequestWatch::~RequestWatch() {
  finish();
}

void RequestWatch::cancel() {
  {
    // Under the lock, so that the watch cannot miss it between its check and its wait.
    const std::lock_guard lock(mutex_);
    cancelled_.store(true);
  }
  wake_.notify_one();
}

RequestWatch::Fired RequestWatch::finish() {
  {
    const std::lock_guard lock(mutex_);
    done_ = true;
  }
  wake_.notify_one();
  if (thread_.joinable()) thread_.join();
  const std::lock_guard lock(mutex_);
  return fired_locked();
}

RequestWatch::Fired RequestWatch::fired() {
  const std::lock_guard lock(mutex_);
  return fired_locked();
}

RequestWatch::Fired RequestWatch::fired_locked() const {
  // A cancel counts from the moment it is asked, even if the watch has not acted on it yet
  // because the request ended first.
  if (fired_ == Fired::no && cancelled_.load()) return Fired::cancelled;
  return fired_;
}

void RequestWatch::run() {
  std::unique_lock lock(mutex_);
  while (!done_) {
    if (fired_ == Fired::no) {
      if (cancelled_.load()) {
        fired_ = Fired::cancelled;
      } else {
        const Clock::time_point bytes{Clock::duration(last_activity_.load())};
        const Clock::time_point text{Clock::duration(last_text_.load())};
        const Clock::time_point now = Clock::now();
        if (now >= bytes + idle_) {
          fired_ = Fired::idle;
        } else if (now >= text + idle_) {
          fired_ = Fired::stalled;
        } else {
          const Clock::time_point deadline = std::min(bytes, text) + idle_;
          wake_.wait_until(lock, deadline, [this] { return done_ || cancelled_.load(); });
          continue;
        }
      }
    }
    lock.unlock();
    stop_();
    lock.lock();
    wake_.wait_for(lock, kRestopPeriod, [this] { return done_; });
  }
}

}  // namespace host::runtime
