#include "host/acp/stderr_tail.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>

namespace host::acp {

StderrTail::StderrTail(int fd) : fd_(fd) {
  if (fd_ >= 0) thread_ = std::thread([this] { run(); });
}

StderrTail::~StderrTail() {
  wake_.wake();
  if (thread_.joinable()) thread_.join();
}

void StderrTail::run() {
  char buffer[4096];
  for (;;) {
    pollfd fds[2] = {{fd_, POLLIN, 0}, {wake_.read_fd(), POLLIN, 0}};
    const int ready = ::poll(fds, wake_.read_fd() >= 0 ? 2 : 1, -1);
    if (ready < 0 && errno == EINTR) continue;
    if (ready < 0 || (fds[1].revents & POLLIN) != 0) return;
    {
      const std::lock_guard lock(mutex_);
      reading_ = true;
    }
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n > 0) feed(std::string_view(buffer, static_cast<std::size_t>(n)));
    {
      const std::lock_guard lock(mutex_);
      reading_ = false;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
  }
}

void StderrTail::settle(std::chrono::milliseconds limit) const {
  if (fd_ < 0) return;
  const auto deadline = std::chrono::steady_clock::now() + limit;
  for (;;) {
    int pending = 0;
    if (::ioctl(fd_, FIONREAD, &pending) != 0) return;
    {
      const std::lock_guard lock(mutex_);
      if (pending == 0 && !reading_) return;
    }
    if (std::chrono::steady_clock::now() >= deadline) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

void StderrTail::feed(std::string_view bytes) {
  const std::lock_guard lock(mutex_);
  for (const char c : bytes) {
    if (c == '\n') {
      lines_.push_back(std::move(open_));
      open_.clear();
      if (lines_.size() > kLines) lines_.pop_front();
    } else if (open_.size() < kLineBytes) {
      open_ += c;
    }
  }
}

std::vector<std::string> StderrTail::lines() const {
  const std::lock_guard lock(mutex_);
  std::vector<std::string> out(lines_.begin(), lines_.end());
  if (!open_.empty()) out.push_back(open_);
  if (out.size() > kLines) out.erase(out.begin(), out.end() - kLines);
  return out;
}

}  // namespace host::acp
