#include "termui/headless_driver.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

namespace termui {

HeadlessDriver::HeadlessDriver(Size size, bool with_input_pipe) : size_(size) {
  if (with_input_pipe && ::pipe2(input_, O_CLOEXEC) != 0) {
    throw std::system_error(errno, std::generic_category(), "pipe");
  }
  if (::pipe2(resize_, O_CLOEXEC | O_NONBLOCK) != 0) {
    throw std::system_error(errno, std::generic_category(), "pipe");
  }
}

HeadlessDriver::~HeadlessDriver() {
  for (int fd : input_) {
    if (fd >= 0) ::close(fd);
  }
  for (int fd : resize_) {
    if (fd >= 0) ::close(fd);
  }
}

void HeadlessDriver::drain_resize() {
  char buf[16];
  while (::read(resize_[0], buf, sizeof buf) > 0) {
  }
}

void HeadlessDriver::resize(Size size) {
  size_ = size;
  const char byte = 'w';
  [[maybe_unused]] const ssize_t n = ::write(resize_[1], &byte, 1);
}

void HeadlessDriver::write(std::string_view bytes) {
  if (keep_output) output_.append(bytes);
  if (on_write) on_write(bytes);
}

}  // namespace termui
