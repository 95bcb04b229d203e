#pragma once
// What the output manager needs of the operating system: a writer for standard output, the
// terminal's column count and the wall clock.

#include <stdexcept>
#include <string_view>
#include <system_error>

namespace zell::output {

// The terminal width in columns of the terminal on standard output, asked afresh each call;
// 80 when standard output is no terminal, the query fails, or the terminal reports 0 columns.
[[nodiscard]] int _cols() noexcept;

// Seconds since the Unix epoch, with sub-second precision.
[[nodiscard]] double wall_clock() noexcept;

// An operating-system error while writing (broken pipe, I/O error, full disk, ...).
class OutputError : public std::system_error {
 public:
  using std::system_error::system_error;
};

// Writing to a stream that is closed (the descriptor is gone). Kept apart from OutputError
// because the indicator's erase ignores OS errors but lets this one reach the caller.
class StreamClosed : public std::runtime_error {
 public:
  StreamClosed() : std::runtime_error("write to a closed stream") {}
};

// Where the plain presentation goes. Each `write` hands its bytes on as one unit; `flush`
// pushes anything held back.
class Writer {
 public:
  virtual ~Writer() = default;
  virtual void write(std::string_view bytes) = 0;
  virtual void flush() = 0;
  // True for a writer that throws everything away: the manager then skips building the plain
  // presentation's text where that costs something (wrapping streamed answers).
  [[nodiscard]] virtual bool discards() const { return false; }
};

// Writes straight to a descriptor (standard output by default), unbuffered: every `write` is
// written whole before it returns (short writes continued, EINTR retried, a non-blocking
// descriptor waited on), so `flush` has nothing to do.
class FdWriter final : public Writer {
 public:
  explicit FdWriter(int fd = 1) noexcept : fd_(fd) {}
  void write(std::string_view bytes) override;
  void flush() override {}
  [[nodiscard]] int fd() const noexcept { return fd_; }

 private:
  int fd_;
};

}  // namespace zell::output
