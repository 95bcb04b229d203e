#pragma once
// Ends an HTTP request from outside: at once when the user cancels it, when the server has
// sent nothing for the idle time, or when it has sent bytes but no answer text for that long (a
// server that trickles a byte at a time or sends only keep-alive comments must not hold a turn
// for ever).

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace host::runtime {

class RequestWatch {
 public:
  using Clock = std::chrono::steady_clock;
  enum class Fired { no, cancelled, idle, stalled };

  // `stop` aborts the request (HttpTransfer::stop: the connection is closed rather than
  // drained). It is called again every few milliseconds until finish().
  RequestWatch(std::function<void()> stop, Clock::duration idle);
  RequestWatch(const RequestWatch&) = delete;
  RequestWatch& operator=(const RequestWatch&) = delete;
  ~RequestWatch();

  // Data arrived: the idle time starts again. Cheap enough for every read.
  void touch() noexcept {
    last_activity_.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
  }
  // Answer text grew: the stall time starts again.
  void touch_text() noexcept {
    last_text_.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed);
  }
  // Any thread.
  void cancel();
  [[nodiscard]] bool cancelled() const noexcept { return cancelled_.load(); }
  // Whether, and why, the watch has stopped the request so far.
  [[nodiscard]] Fired fired();
  // Ends the watch (joins its thread) and says whether, and why, it stopped the request.
  Fired finish();

 private:
  void run();
  [[nodiscard]] Fired fired_locked() const;

  std::function<void()> stop_;
  Clock::duration idle_;
  std::atomic<Clock::rep> last_activity_;
  std::atomic<Clock::rep> last_text_;
  std::atomic<bool> cancelled_{false};
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false;
  Fired fired_ = Fired::no;  // written by the watch thread under mutex_
  std::thread thread_;
};

}  // namespace host::runtime
