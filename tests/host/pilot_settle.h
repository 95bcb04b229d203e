#pragma once
// Lets a chat's worker run and the UI thread take its messages until a condition holds.

#include <chrono>
#include <functional>
#include <thread>

#include "termui/pilot.h"

namespace host_test {

// 10 s at most: a deadline for a hung agent, not a measure of speed.
inline bool settle(termui::Pilot& pilot, const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  for (;;) {
    pilot.pause();
    if (done()) return true;
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace host_test
