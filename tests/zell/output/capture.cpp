#include "capture.h"

#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <stdexcept>

namespace zell_test {

namespace {

// Writes to a pipe nobody reads must fail with EPIPE here, not kill the test program.
const bool sigpipe_ignored = [] {
  std::signal(SIGPIPE, SIG_IGN);
  return true;
}();

}  // namespace

void RecordingWriter::maybe_fail(Failure f) const {
  if (f == Failure::broken_pipe) {
    throw zell::output::OutputError(EPIPE, std::generic_category(), "test");
  }
  if (f == Failure::closed) throw zell::output::StreamClosed();
}

void RecordingWriter::block_indicator() {
  const std::lock_guard guard(mutex_);
  blocked_ = true;
}

void RecordingWriter::release_indicator() {
  {
    const std::lock_guard guard(mutex_);
    blocked_ = false;
  }
  cv_.notify_all();
}

bool RecordingWriter::wait_until_blocked() const {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, std::chrono::seconds(10), [&] { return waiting_ > 0; });
}

std::thread::id RecordingWriter::first_blocked() const {
  const std::lock_guard guard(mutex_);
  return first_blocked_;
}

void RecordingWriter::write(std::string_view bytes) {
  const bool agent = on_agent();
  maybe_fail(agent ? agent_failure_.load() : indicator_failure_.load());
  std::unique_lock lock(mutex_);
  if (!agent && blocked_) {
    ++waiting_;
    if (first_blocked_ == std::thread::id()) first_blocked_ = std::this_thread::get_id();
    cv_.notify_all();
    cv_.wait(lock, [&] { return !blocked_; });
    --waiting_;
  }
  if (agent) {
    agent_ += bytes;
    return;
  }
  pending_frame_ += bytes;
  const auto id = std::this_thread::get_id();
  bool known = false;
  for (const auto& t : indicator_threads_) known = known || t == id;
  if (!known) indicator_threads_.push_back(id);
}

void RecordingWriter::flush() {
  if (on_agent()) return;
  {
    const std::lock_guard guard(mutex_);
    frames_.push_back(std::move(pending_frame_));
    frame_threads_.push_back(std::this_thread::get_id());
    pending_frame_.clear();
  }
  cv_.notify_all();
}

std::string RecordingWriter::agent_output() const {
  const std::lock_guard guard(mutex_);
  return agent_;
}

std::vector<std::string> RecordingWriter::frames() const {
  const std::lock_guard guard(mutex_);
  return frames_;
}

std::vector<std::thread::id> RecordingWriter::frame_threads() const {
  const std::lock_guard guard(mutex_);
  return frame_threads_;
}

std::size_t RecordingWriter::indicator_thread_count() const {
  const std::lock_guard guard(mutex_);
  return indicator_threads_.size();
}

bool RecordingWriter::wait_for_frames(std::size_t n) const {
  std::unique_lock lock(mutex_);
  return cv_.wait_for(lock, std::chrono::seconds(10), [&] { return frames_.size() >= n; });
}

zell::output::OutputPorts recorded_ports(const std::shared_ptr<RecordingWriter>& out,
                                         const FakeClock& clock, int cols,
                                         std::chrono::nanoseconds period) {
  zell::output::OutputPorts ports;
  ports.out = out;
  ports.clock = [&clock] { return clock.now(); };
  ports.cols = [cols] { return cols; };
  ports.frame_period = period;
  return ports;
}

StdoutCapture::StdoutCapture(int read_fd, int write_fd) : read_fd_(read_fd) {
  std::fflush(stdout);
  saved_stdout_ = ::dup(STDOUT_FILENO);
  ::dup2(write_fd, STDOUT_FILENO);
  ::close(write_fd);
  reader_ = std::thread([this] {
    char buf[4096];
    for (;;) {
      const ssize_t n = ::read(read_fd_, buf, sizeof buf);
      if (n > 0) {
        bytes_.append(buf, static_cast<std::size_t>(n));
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        break;  // end of pipe, or EIO once the pty's slave side is closed
      }
    }
  });
}

std::unique_ptr<StdoutCapture> StdoutCapture::pipe() {
  int fds[2];
  if (::pipe(fds) != 0) throw std::runtime_error("pipe");
  return std::unique_ptr<StdoutCapture>(new StdoutCapture(fds[0], fds[1]));
}

std::unique_ptr<StdoutCapture> StdoutCapture::pty(unsigned short cols, unsigned short rows) {
  int master = -1;
  int slave = -1;
  termios raw{};
  cfmakeraw(&raw);  // no output processing: the bytes arrive as written
  winsize ws{};
  ws.ws_col = cols;
  ws.ws_row = rows;
  if (::openpty(&master, &slave, nullptr, &raw, &ws) != 0) throw std::runtime_error("openpty");
  return std::unique_ptr<StdoutCapture>(new StdoutCapture(master, slave));
}

std::string StdoutCapture::finish() {
  if (!finished_) {
    finished_ = true;
    std::fflush(stdout);
    ::dup2(saved_stdout_, STDOUT_FILENO);
    ::close(saved_stdout_);
    reader_.join();
    ::close(read_fd_);
  }
  return bytes_;
}

StdoutCapture::~StdoutCapture() {
  finish();
}

std::string without_frames(std::string bytes) {
  const std::string start = "\r\x1b[32m ";
  const std::string hide = "\x1b[?25l\x1b[";
  for (std::size_t pos = bytes.find(start); pos != std::string::npos;
       pos = bytes.find(start, pos)) {
    const std::size_t h = bytes.find(hide, pos);
    if (h == std::string::npos) break;
    const std::size_t end = bytes.find("A\r", h);
    if (end == std::string::npos) break;
    bytes.erase(pos, end + 2 - pos);
  }
  return bytes;
}

std::string repeat(std::string_view s, std::size_t n) {
  std::string out;
  for (std::size_t i = 0; i < n; ++i) out += s;
  return out;
}

}  // namespace zell_test
