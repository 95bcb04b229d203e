#include "termui/message_queue.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace termui {

MessageQueue::MessageQueue() {
  if (::pipe2(pipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
    throw std::system_error(errno, std::generic_category(), "pipe");
  }
}

MessageQueue::~MessageQueue() {
  for (int fd : pipe_) ::close(fd);
}

void MessageQueue::post(std::unique_ptr<Message> message) {
  {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(message));
  }
  wake();
}

void MessageQueue::wake() {
  // One byte per wake-up is enough; later posts find the flag set and skip the system call.
  if (!signalled_.exchange(true)) {
    const char byte = 'm';
    [[maybe_unused]] const ssize_t n = ::write(pipe_[1], &byte, 1);
  }
}

bool MessageQueue::empty() {
  std::lock_guard lock(mutex_);
  return queue_.empty();
}

std::deque<std::unique_ptr<Message>> MessageQueue::take() {
  char buf[64];
  while (::read(pipe_[0], buf, sizeof buf) > 0) {
  }
  signalled_.store(false);
  std::lock_guard lock(mutex_);
  std::deque<std::unique_ptr<Message>> out;
  out.swap(queue_);
  return out;
}

}  // namespace termui
