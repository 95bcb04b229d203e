#include "host/acp/launcher.h"

#include <future>

namespace host::acp {

Launcher::Launcher() : thread_([this] { run(); }) {}

Launcher::~Launcher() {
  {
    const std::lock_guard lock(mutex_);
    stop_ = true;
  }
  cv_.notify_all();
  thread_.join();
}

void Launcher::run() {
  for (;;) {
    std::function<void()> job;
    {
      std::unique_lock lock(mutex_);
      cv_.wait(lock, [this] { return stop_ || !jobs_.empty(); });
      if (jobs_.empty()) return;
      job = std::move(jobs_.front());
      jobs_.pop_front();
    }
    job();
  }
}

std::unique_ptr<ChildProcess> Launcher::spawn(const SpawnOptions& options) {
  std::packaged_task<std::unique_ptr<ChildProcess>()> task(
      [&options] { return std::make_unique<ChildProcess>(options); });
  std::future<std::unique_ptr<ChildProcess>> result = task.get_future();
  {
    const std::lock_guard lock(mutex_);
    jobs_.emplace_back([&task] { task(); });
  }
  cv_.notify_all();
  return result.get();
}

}  // namespace host::acp
