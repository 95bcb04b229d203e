// The indicator's frame, composed without its thread: timer, stage words, rules, status text
// and the order and content of a frame's writes.

#include "zell/output/indicator_frame.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using namespace zell::output::indicator;

struct TimerCase {
  double elapsed;
  std::string expected;
};

class Timer : public ::testing::TestWithParam<TimerCase> {};

TEST_P(Timer, Formats) {
  EXPECT_EQ(format_timer(GetParam().elapsed), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Elapsed, Timer,
                         ::testing::Values(TimerCase{0.0, "0s"}, TimerCase{2.5, "2s"},
                                           TimerCase{3.5, "4s"}, TimerCase{3.0, "3s"},
                                           TimerCase{59.4, "59s"}, TimerCase{59.6, "60s"},
                                           TimerCase{60.0, "1m00s"}, TimerCase{75.9, "1m15s"},
                                           TimerCase{125.5, "2m05s"}, TimerCase{3600.0, "60m00s"},
                                           TimerCase{1.0e12, "16666666666m40s"}));

struct LabelCase {
  double elapsed;
  std::string expected;
};

class Label : public ::testing::TestWithParam<LabelCase> {};

TEST_P(Label, Rotates) {
  EXPECT_EQ(rotating_label(GetParam().elapsed), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Elapsed, Label,
    ::testing::Values(LabelCase{0, "mining"}, LabelCase{5.99, "mining"},
                      LabelCase{6, "cutting facets"}, LabelCase{7, "cutting facets"},
                      LabelCase{12, "polishing"}, LabelCase{18, "examining"},
                      LabelCase{24, "shaping"}, LabelCase{30, "refining"},
                      LabelCase{36, "digging deeper"}, LabelCase{42, "crystallizing"},
                      LabelCase{53.9, "forging"}, LabelCase{54, "mining"}, LabelCase{55, "mining"},
                      LabelCase{-3.5, "forging"},  // a clock stepped back: still a valid word
                      LabelCase{1.0e300, "mining"}));

TEST(Rule, DashCountIsClampedBetween24And96) {
  const std::vector<std::pair<long long, std::size_t>> table{
      {80, 76}, {100, 96}, {500, 96}, {60, 56}, {28, 24}, {20, 24}, {2, 24}, {0, 24}, {-7, 24}};
  for (const auto& [cols, dashes] : table) {
    std::string expected = "  ";
    for (std::size_t i = 0; i < dashes; ++i) expected += "─";
    EXPECT_EQ(rule(cols), expected) << cols;
  }
}

TEST(StatusText, GlyphFollowsTheTickAndTheHintComesAfterTenSeconds) {
  EXPECT_EQ(status_text(1, 3.0, ""), "\x1b[32m ▲ mining... (3s)\x1b[0m");
  EXPECT_EQ(status_text(2, 3.0, ""), "\x1b[32m ◆ mining... (3s)\x1b[0m");
  EXPECT_EQ(status_text(3, 3.0, ""), "\x1b[32m · mining... (3s)\x1b[0m");
  EXPECT_EQ(status_text(4, 9.9, ""), "\x1b[32m ▲ cutting facets... (10s)\x1b[0m");
  EXPECT_EQ(status_text(4, 10.0, ""), "\x1b[32m ▲ cutting facets... (10s)\x1b[0m");
  EXPECT_EQ(status_text(4, 10.1, ""), "\x1b[32m ▲ cutting facets... (10s)\x1b[0m · ctrl+c to stop");
  EXPECT_EQ(status_text(1, 7.0, "reading\x1b[5m"), "\x1b[32m ▲ reading␛[5m... (7s)\x1b[0m");
}

const std::string RULE80 = [] {
  std::string r = "  ";
  for (int i = 0; i < 76; ++i) r += "─";
  return r;
}();

TEST(Frame, EmptyPromptFourLines) {
  FrameInputs in;
  in.tick = 1;
  in.elapsed = 3.2;
  EXPECT_EQ(frame_writes(in), (std::vector<std::string>{
                                  "\r\x1b[32m ▲ mining... (3s)\x1b[0m\x1b[K",
                                  "\n\x1b[2m" + RULE80 + "\x1b[0m\x1b[K",
                                  "\n\x1b[2m  › \x1b[0m\x1b[K",
                                  "\n\x1b[2m" + RULE80 + "\x1b[0m\x1b[K",
                                  "\x1b[?25l",
                                  "\x1b[3A\r",
                              }));
}

TEST(Frame, TypedTextStatusLineAndFiveLines) {
  FrameInputs in;
  in.tick = 2;
  in.elapsed = 12;
  in.typed = "next: fix \x1b[2Jthe test";
  in.status_line = "model: local\x07";
  const auto w = frame_writes(in);
  ASSERT_EQ(w.size(), 7U);
  EXPECT_EQ(w[0], "\r\x1b[32m ◆ polishing... (12s)\x1b[0m · ctrl+c to stop\x1b[K");
  EXPECT_EQ(w[2], "\n  › next: fix ␛[2Jthe test\x1b[K");
  EXPECT_EQ(w[4], "\n\x1b[2m  model: local␇\x1b[0m\x1b[K");
  EXPECT_EQ(w[6], "\x1b[4A\r");
}

TEST(Frame, QueueCountWinsOverTypedText) {
  FrameInputs in;
  in.typed = "typed";
  in.queued = 2;
  EXPECT_EQ(frame_writes(in)[2], "\n  › \x1b[2m(2 queued)\x1b[0m\x1b[K");
}

}  // namespace
