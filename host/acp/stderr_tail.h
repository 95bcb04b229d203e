#pragma once
// The last lines a child wrote to its standard error, read on a thread of their own so that the
// child never blocks on a full pipe. Kept, never shown while the agent works: they explain a
// failure or an exit.

#include <chrono>
#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "host/acp/wake_pipe.h"

namespace host::acp {

class StderrTail {
 public:
  static constexpr std::size_t kLines = 20;
  static constexpr std::size_t kLineBytes = 1000;

  // Reads `fd` (owned by the caller, open until this is destroyed) until it ends.
  explicit StderrTail(int fd);
  ~StderrTail();
  StderrTail(const StderrTail&) = delete;
  StderrTail& operator=(const StderrTail&) = delete;

  // The last lines, oldest first, each cut at kLineBytes (a line still open counts).
  [[nodiscard]] std::vector<std::string> lines() const;
  // Waits, at most `limit`, until what the child has written so far has been read: the lines
  // that explain a failure are often written just before it.
  void settle(std::chrono::milliseconds limit) const;

  // Adds bytes as the reader does: for tests and for the reader itself.
  void feed(std::string_view bytes);

 private:
  void run();

  int fd_;
  WakePipe wake_;
  mutable std::mutex mutex_;
  std::deque<std::string> lines_;
  std::string open_;
  bool reading_ = false;  // between a read that found bytes and their being kept
  std::thread thread_;
};

}  // namespace host::acp
