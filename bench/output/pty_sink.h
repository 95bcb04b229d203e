#pragma once
// A terminal to write to while measuring: a pty of a given width whose master side a thread
// drains (and discards), so writes never block on a full buffer. The slave side can replace
// standard output for the measurement.

#include <atomic>
#include <thread>

namespace bench {

class PtySink {
 public:
  explicit PtySink(unsigned short cols = 80);
  ~PtySink();
  PtySink(const PtySink&) = delete;
  PtySink& operator=(const PtySink&) = delete;

  [[nodiscard]] int fd() const { return slave_; }
  // Puts the pty on file descriptor 1 until `restore_stdout`.
  void take_stdout();
  void restore_stdout();

 private:
  int master_ = -1;
  int slave_ = -1;
  int saved_stdout_ = -1;
  std::atomic<bool> stop_{false};
  std::thread drain_;
};

}  // namespace bench
