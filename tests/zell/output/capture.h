#pragma once
// Test ports for the output manager: a writer that records who wrote what, a settable clock,
// and standard output redirected into a pipe or a pty of a chosen width.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "zell/output/output_manager.h"

namespace zell_test {

// What the indicator writes to take its line away: cursor shown again, line cleared.
inline const std::string ERASE = "\x1b[?25h\r\x1b[J";

// Records every write, split by writer: the thread that created the recorder (the agent) or
// any other thread (the indicator). Can be told to fail either side's writes.
class RecordingWriter final : public zell::output::Writer {
 public:
  enum class Failure { none, broken_pipe, closed };

  void write(std::string_view bytes) override;
  void flush() override;

  // Everything the agent's thread wrote, concatenated.
  [[nodiscard]] std::string agent_output() const;
  // The indicator's frames: the writes between two indicator flushes, concatenated.
  [[nodiscard]] std::vector<std::string> frames() const;
  // The thread that drew each frame, in the order of `frames`.
  [[nodiscard]] std::vector<std::thread::id> frame_threads() const;
  // Ids of the threads that drew frames.
  [[nodiscard]] std::size_t indicator_thread_count() const;
  // Waits until the indicator has flushed `n` frames; false after 10 s (a hang guard only).
  [[nodiscard]] bool wait_for_frames(std::size_t n) const;

  // While blocked, indicator writes wait (as on a terminal that stopped reading) until released.
  void block_indicator();
  void release_indicator();
  // Waits until an indicator write is waiting in a block; false after 10 s.
  [[nodiscard]] bool wait_until_blocked() const;
  // The first thread that had to wait in a block.
  [[nodiscard]] std::thread::id first_blocked() const;

  void fail_indicator(Failure f) { indicator_failure_ = f; }
  void fail_agent(Failure f) { agent_failure_ = f; }

 private:
  [[nodiscard]] bool on_agent() const { return std::this_thread::get_id() == owner_; }
  void maybe_fail(Failure f) const;

  const std::thread::id owner_ = std::this_thread::get_id();
  std::atomic<Failure> indicator_failure_{Failure::none};
  std::atomic<Failure> agent_failure_{Failure::none};
  mutable std::mutex mutex_;
  mutable std::condition_variable cv_;
  std::string agent_;
  std::vector<std::string> frames_;
  std::vector<std::thread::id> frame_threads_;
  std::string pending_frame_;
  std::vector<std::thread::id> indicator_threads_;
  bool blocked_ = false;
  std::thread::id first_blocked_;
  int waiting_ = 0;
};

class FakeClock {
 public:
  explicit FakeClock(double now = 1'000'000.0) : now_(now) {}
  void set(double t) { now_.store(t); }
  void advance(double dt) { now_.store(now_.load() + dt); }
  [[nodiscard]] double now() const { return now_.load(); }

 private:
  std::atomic<double> now_;
};

// Ports with a recorder, the fake clock, a fixed width and (by default) a frame period so long
// that each started indicator draws exactly one frame until it is stopped.
zell::output::OutputPorts recorded_ports(const std::shared_ptr<RecordingWriter>& out,
                                         const FakeClock& clock, int cols = 80,
                                         std::chrono::nanoseconds period = std::chrono::hours(1));

// Redirects file descriptor 1 into a pipe or into the slave side of a raw-mode pty of the given
// size, collecting everything written until `finish`.
class StdoutCapture {
 public:
  static std::unique_ptr<StdoutCapture> pipe();
  static std::unique_ptr<StdoutCapture> pty(unsigned short cols, unsigned short rows = 24);
  ~StdoutCapture();
  StdoutCapture(const StdoutCapture&) = delete;
  StdoutCapture& operator=(const StdoutCapture&) = delete;

  // Restores fd 1 and returns every byte written while it was redirected.
  std::string finish();

 private:
  StdoutCapture(int read_fd, int write_fd);

  int saved_stdout_ = -1;
  int read_fd_ = -1;
  std::thread reader_;
  std::string bytes_;
  bool finished_ = false;
};

// The bytes with every complete indicator frame removed (frames carry the timer, so their
// content depends on timing; the bytes around them do not).
[[nodiscard]] std::string without_frames(std::string bytes);

// `n` copies of a string.
[[nodiscard]] std::string repeat(std::string_view s, std::size_t n);

}  // namespace zell_test
