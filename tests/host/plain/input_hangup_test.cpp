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

// A pipe standing for standard input.
struct Input {
  Input() { EXPECT_EQ(::pipe(fds), 0); }
  ~Input() {
    close_writer();
    ::close(fds[0]);
  }
  void close_writer() {
    if (fds[1] >= 0) ::close(fds[1]);
    fds[1] = -1;
  }
  int fds[2] = {-1, -1};
};

// Work that ends when given up on or released.
struct Hanging {
  std::atomic<bool> gave_up{false};
  std::atomic<bool> released{false};
  void work() const {
    while (!gave_up && !released) std::this_thread::sleep_for(1ms);
  }
};

TEST(InputHangup, ClosingAnEmptyInputGivesUpTheWork) {
  Input in;
  Hanging h;
  std::thread closer([&] { in.close_writer(); });
  host::run_watching_input(
      in.fds[0], [&] { h.work(); }, [&] { h.gave_up = true; });
  closer.join();
  EXPECT_TRUE(h.gave_up);
}

TEST(InputHangup, AClosedInputThatHoldsPromptsLetsTheWorkFinish) {
  Input in;
  ASSERT_EQ(::write(in.fds[1], "say hi\n", 7), 7);
  in.close_writer();
  Hanging h;
  // A chance for a wrong give-up to happen before the work is let go.
  std::thread releaser([&] {
    std::this_thread::sleep_for(50ms);
    h.released = true;
  });
  host::run_watching_input(
      in.fds[0], [&] { h.work(); }, [&] { h.gave_up = true; });
  releaser.join();
  EXPECT_FALSE(h.gave_up);
}

TEST(InputHangup, WhatTheWorkThrowsReachesTheCaller) {
  Input in;
  EXPECT_THROW(host::run_watching_input(
                   in.fds[0], [] { throw std::runtime_error("no start"); }, [] {}),
               std::runtime_error);
}

}  // namespace
