#pragma once
// A driver with no terminal: frames go to an in-memory sink, the size is whatever the test or
// benchmark says, and input (when wanted) comes through a pipe the caller writes to.

#include <functional>
#include <string>

#include "termui/driver.h"

namespace termui {

class HeadlessDriver final : public Driver {
 public:
  // With `with_input_pipe`, input_fd() reads what is written to input_write_fd().
  explicit HeadlessDriver(Size size, bool with_input_pipe = false);
  ~HeadlessDriver() override;
  HeadlessDriver(const HeadlessDriver&) = delete;
  HeadlessDriver& operator=(const HeadlessDriver&) = delete;

  void start() override { started_ = true; }
  void stop() override { started_ = false; }
  [[nodiscard]] int input_fd() const override { return input_[0]; }
  [[nodiscard]] int resize_fd() const override { return resize_[0]; }
  void drain_resize() override;
  [[nodiscard]] Size size() override { return size_; }
  void write(std::string_view bytes) override;

  // Changes the size and wakes the App as SIGWINCH would.
  void resize(Size size);
  [[nodiscard]] int input_write_fd() const { return input_[1]; }
  [[nodiscard]] bool started() const { return started_; }

  // Everything written so far; and a hook called with each write (benchmarks time it).
  [[nodiscard]] const std::string& output() const { return output_; }
  void clear_output() { output_.clear(); }
  std::function<void(std::string_view)> on_write;
  bool keep_output = true;

 private:
  Size size_;
  bool started_ = false;
  int input_[2] = {-1, -1};
  int resize_[2] = {-1, -1};
  std::string output_;
};

}  // namespace termui
