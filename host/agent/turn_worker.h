#pragma once
// The agent's worker thread: one turn at a time, stoppable. A job receives the stop signal
// it should watch; `stop` raises it and waits for the job to end.

#include <functional>
#include <thread>

#include "host/agent/stop_signal.h"

namespace host {

class TurnWorker {
 public:
  TurnWorker() = default;
  ~TurnWorker() { stop(); }
  TurnWorker(const TurnWorker&) = delete;
  TurnWorker& operator=(const TurnWorker&) = delete;

  // Runs `job` on a new thread, after the previous job's thread has ended.
  void start(std::function<void(StopSignal&)> job) {
    if (thread_.joinable()) thread_.join();
    stop_.reset();
    thread_ = std::thread([this, job = std::move(job)] { job(stop_); });
  }
  // Asks the running job to stop at its next step.
  void interrupt() { stop_.request(); }
  // Asks the running job to stop and waits until it has.
  void stop() {
    stop_.request();
    if (thread_.joinable()) thread_.join();
  }

 private:
  StopSignal stop_;
  std::thread thread_;
};

}  // namespace host
