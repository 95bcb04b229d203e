#pragma once
// Ctrl+C (SIGINT) handed to ordinary code: a signal handler may do almost nothing, so it only
// writes a byte into a pipe, and a thread of the relay calls the handler function, which may
// then take locks (HttpAgent::cancel). One relay at a time per process.

#include <functional>
#include <thread>

namespace host {

class InterruptRelay {
 public:
  // `on_interrupt` runs on the relay's thread for each Ctrl+C. When it returns false (nothing
  // to cancel, for example at the chat's prompt) the signal goes on to the handler that was
  // installed before the relay, as if the relay were not there.
  explicit InterruptRelay(std::function<bool()> on_interrupt);
  // Puts the earlier handler back and ends the thread.
  ~InterruptRelay();
  InterruptRelay(const InterruptRelay&) = delete;
  InterruptRelay& operator=(const InterruptRelay&) = delete;

 private:
  void run();

  std::function<bool()> on_interrupt_;
  int pipe_[2] = {-1, -1};
  std::thread thread_;
};

}  // namespace host
