#include "host/tui/file_lister.h"

namespace host::tui {

FileLister::FileLister(std::filesystem::path root, std::function<void()> done)
    : root_(std::move(root)), done_(std::move(done)) {}

const FileIndex* FileLister::files() {
  bool running = false;
  {
    const std::lock_guard lock(mutex_);
    if (made_) {
      index_ = std::move(made_);
      made_.reset();
    }
    running = running_;
  }
  if (!running && !stopped_ && (!index_ || stale_)) start();
  return index_ ? &*index_ : nullptr;
}

bool FileLister::listing() const {
  const std::lock_guard lock(mutex_);
  return running_;
}

void FileLister::start() {
  if (thread_.joinable()) thread_.join();  // the last listing has ended: this does not wait
  stale_ = false;
  scan_stop_ = std::make_unique<ScanStop>();
  {
    const std::lock_guard lock(mutex_);
    running_ = true;
  }
  thread_ = std::thread([this, stop = scan_stop_.get()] {
    FileIndex made = FileIndex::scan(root_, *stop);
    const bool kept = !stop->requested();
    {
      const std::lock_guard lock(mutex_);
      if (kept) made_ = std::move(made);
      running_ = false;
    }
    if (kept && done_) done_();
  });
}

void FileLister::stop() {
  stopped_ = true;
  if (scan_stop_) scan_stop_->request();
  if (thread_.joinable()) thread_.join();
}

}  // namespace host::tui
