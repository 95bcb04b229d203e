#pragma once
// The App's inbox: posting is safe from any thread and wakes the UI thread's poll through a
// pipe; the UI thread takes everything queued at once, so a burst is handled in one go. Order
// is kept per posting thread (one FIFO under one lock).

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>

#include "termui/message.h"

namespace termui {

class MessageQueue {
 public:
  MessageQueue();
  ~MessageQueue();
  MessageQueue(const MessageQueue&) = delete;
  MessageQueue& operator=(const MessageQueue&) = delete;

  void post(std::unique_ptr<Message> message);
  // Everything posted so far, oldest first; clears the wake-up descriptor.
  [[nodiscard]] std::deque<std::unique_ptr<Message>> take();
  // Readable while messages wait.
  [[nodiscard]] int wake_fd() const { return pipe_[0]; }
  [[nodiscard]] bool empty();
  // Wakes the poll without a message (used by exit from another thread).
  void wake();

 private:
  std::mutex mutex_;
  std::deque<std::unique_ptr<Message>> queue_;
  std::atomic<bool> signalled_{false};
  int pipe_[2] = {-1, -1};
};

}  // namespace termui
