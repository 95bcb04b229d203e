// Work given up on when the chat's input closes with nothing left to read, and only then.

#include "host/plain/input_hangup.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Runs work that waits until it is given up on or `release` is set, over a pipe standing for
// standard input whose writing end `feed` closes (after writing `text`); whether it gave up.
bool gave_up(const std::string& text, const std::atomic<bool>& release) {
  int fds[2] = {-1, -1};
  EXPECT_EQ(::pipe(fds), 0);
  std::thread feed([&] {
    EXPECT_EQ(::write(fds[1], text.data(), text.size()), static_cast<ssize_t>(text.size()));
    ::close(fds[1]);
  });
  std::atomic<bool> given_up{false};
  host::run_watching_input(
      fds[0],
      [&] {
        while (!given_up && !release) std::this_thread::sleep_for(1ms);
      },
      [&] { given_up = true; });
  feed.join();
  ::close(fds[0]);
  return given_up;
}

TEST(InputHangup, ClosingAnEmptyInputGivesUpTheWork) {
  const std::atomic<bool> never{false};
  EXPECT_TRUE(gave_up("", never));
}

TEST(InputHangup, AClosedInputThatHoldsPromptsLetsTheWorkFinish) {
  std::atomic<bool> release{false};
  // A chance for a wrong give-up to happen before the work is let go.
  std::thread releaser([&] {
    std::this_thread::sleep_for(50ms);
    release = true;
  });
  EXPECT_FALSE(gave_up("say hi\n", release));
  releaser.join();
}

TEST(InputHangup, WhatTheWorkThrowsReachesTheCaller) {
  EXPECT_THROW(host::run_watching_input(
                   0, [] { throw std::runtime_error("no start"); }, [] {}),
               std::runtime_error);
}

}  // namespace
