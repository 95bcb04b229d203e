#pragma once
// A thread that starts child processes and lives as long as its owner. The kernel kills a child
// (PR_SET_PDEATHSIG) when the thread that started it ends, so children started from a turn's
// short-lived worker thread would die with the turn; started here, they live until we end them
// or the app goes.

#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "host/acp/child_process.h"

namespace host::acp {

class Launcher {
 public:
  Launcher();
  ~Launcher();
  Launcher(const Launcher&) = delete;
  Launcher& operator=(const Launcher&) = delete;

  // Starts the child on the launcher's thread; SpawnError as ChildProcess throws it.
  std::unique_ptr<ChildProcess> spawn(const SpawnOptions& options);

 private:
  void run();

  std::mutex mutex_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> jobs_;
  bool stop_ = false;
  std::thread thread_;
};

}  // namespace host::acp
