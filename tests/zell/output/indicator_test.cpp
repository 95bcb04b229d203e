// The indicator thread: frames as drawn, start/stop, what it reads from the host's input field
// and status line, and how it ends on output errors.

#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <atomic>
#include <mutex>
#include <stdexcept>
#include <string>
#include <vector>

#include "capture.h"
#include "zell/output/output_manager.h"

namespace {

using zell::output::OutputManager;
using zell_test::ERASE;
using zell_test::FakeClock;
using zell_test::RecordingWriter;

// A host input field whose answers the test sets; records the order of the calls.
class FakeInputField final : public zell::ports::InputField {
 public:
  void collect_typeahead() override {
    const std::lock_guard guard(mutex_);
    calls_ += "c";
  }
  std::string get_typeahead_text() override {
    const std::lock_guard guard(mutex_);
    calls_ += "t";
    if (fail_) throw std::runtime_error("field gone");
    return typed_;
  }
  std::size_t _queue_size() override {
    const std::lock_guard guard(mutex_);
    calls_ += "q";
    return queued_;
  }
  void set(std::string typed, std::size_t queued) {
    const std::lock_guard guard(mutex_);
    typed_ = std::move(typed);
    queued_ = queued;
  }
  void fail() {
    const std::lock_guard guard(mutex_);
    fail_ = true;
  }
  std::string calls() {
    const std::lock_guard guard(mutex_);
    return calls_;
  }

 private:
  std::mutex mutex_;
  std::string typed_;
  std::size_t queued_ = 0;
  bool fail_ = false;
  std::string calls_;
};

class Indicator : public ::testing::Test {
 protected:
  FakeClock clock{5000.0};
  std::shared_ptr<RecordingWriter> out = std::make_shared<RecordingWriter>();
};

TEST_F(Indicator, FirstFrameIsDrawnAtOnceWithTheTurnsElapsedTime) {
  OutputManager m(zell_test::recorded_ports(out, clock, 80));
  m.start_thinking();
  clock.advance(3.0);  // may land before or after the first frame: compare against either
  ASSERT_TRUE(out->wait_for_frames(1));
  m._stop_indicator();
  const std::string frame = out->frames().at(0);
  // The first glyph, the first stage word, two dim rules of 76 dashes round an empty prompt,
  // the cursor hidden and back at the first column of the status line.
  std::string rule = "\n\x1b[2m  ";
  for (int i = 0; i < 76; ++i) rule += "─";
  rule += "\x1b[0m\x1b[K";
  const std::string rest = rule + "\n\x1b[2m  › \x1b[0m\x1b[K" + rule + "\x1b[?25l\x1b[3A\r";
  const std::string at0 = "\r\x1b[32m ▲ mining... (0s)\x1b[0m\x1b[K" + rest;
  const std::string at3 = "\r\x1b[32m ▲ mining... (3s)\x1b[0m\x1b[K" + rest;
  EXPECT_TRUE(frame == at0 || frame == at3) << frame;
  EXPECT_EQ(out->agent_output(), ERASE);
  EXPECT_FALSE(m.indicator_running());
}

TEST_F(Indicator, FramesFollowTheInputFieldTheStageAndTheStatusLine) {
  OutputManager m(zell_test::recorded_ports(out, clock, 60, std::chrono::milliseconds(1)));
  auto field = std::make_shared<FakeInputField>();
  field->set("git st", 0);
  m.set_input_field(field);
  m.set_status_line("ctx 12%");
  m.start_thinking();
  clock.advance(7.0);
  m.set_stage("reading files");
  // Wait until a frame shows the stage, then change the rest and wait for that.
  auto wait_for = [&](const std::string& needle) {
    for (std::size_t n = 1; n < 100000; ++n) {
      if (!out->wait_for_frames(n)) return std::string();
      const std::string f = out->frames()[n - 1];
      if (f.find(needle) != std::string::npos) return f;
    }
    return std::string();
  };
  const std::string staged = wait_for("reading files");
  EXPECT_NE(staged.find("\n  › git st\x1b[K"), std::string::npos);
  EXPECT_NE(staged.find("\n\x1b[2m  ctx 12%\x1b[0m\x1b[K\x1b[?25l\x1b[4A\r"), std::string::npos);
  std::string rule60 = "\n\x1b[2m  ";  // 56 dashes at 60 columns
  for (int i = 0; i < 56; ++i) rule60 += "─";
  EXPECT_NE(staged.find(rule60 + "\x1b[0m\x1b[K"), std::string::npos);

  field->set("git st", 2);
  m.set_status_line("");
  const std::string queued = wait_for("(2 queued)");
  EXPECT_NE(queued.find("\x1b[?25l\x1b[3A\r"), std::string::npos);
  EXPECT_EQ(queued.find("ctx 12%"), std::string::npos);

  m.tool_result("");  // clears the stage: the rotating word for 7 s comes back
  const std::string rotating = wait_for("cutting facets");
  EXPECT_NE(rotating, "");
  m._stop_indicator();
  // collect_typeahead always comes before the text is read, then the queue.
  const std::string calls = field->calls();
  ASSERT_GE(calls.size(), 3U);
  for (std::size_t i = 0; i + 2 < calls.size(); i += 3) EXPECT_EQ(calls.substr(i, 3), "ctq");
}

TEST_F(Indicator, SecondStartIsANoOpAndStopWhenStoppedWritesNothing) {
  OutputManager m(zell_test::recorded_ports(out, clock, 80, std::chrono::milliseconds(1)));
  m._stop_indicator();
  EXPECT_EQ(out->agent_output(), "");
  m._start_indicator();
  m._start_indicator();
  m.start_thinking(false);
  ASSERT_TRUE(out->wait_for_frames(20));
  m._stop_indicator();
  m._stop_indicator();
  EXPECT_EQ(out->indicator_thread_count(), 1U);
  EXPECT_EQ(out->agent_output(), ERASE);
  // Glyphs go round ▲ ◆ · from the first frame on.
  const auto frames = out->frames();
  for (std::size_t i = 0; i < 6; ++i) {
    const char* glyph = OutputManager::ICONS[(i + 1) % 3].data();
    EXPECT_EQ(frames[i].rfind(std::string("\r\x1b[32m ") + glyph, 0), 0U) << i;
  }
}

TEST_F(Indicator, StopWakesTheThreadFromItsSleep) {
  // With an hour between frames, a stop that waited out the sleep would leave the thread
  // running past the stop's own one-second wait; restarting right after would then find the
  // old thread still alive and this test would hang at destruction.
  for (int round = 0; round < 20; ++round) {
    OutputManager m(zell_test::recorded_ports(out, clock, 80, std::chrono::hours(1)));
    m._start_indicator();
    ASSERT_TRUE(out->wait_for_frames(static_cast<std::size_t>(round) + 1));
    m._stop_indicator();
  }
  EXPECT_EQ(out->frames().size(), 20U);
}

TEST_F(Indicator, StuckFrameIsWaitedForOneSecondThenErasedAnyway) {
  OutputManager m(zell_test::recorded_ports(out, clock, 80, std::chrono::milliseconds(1)));
  out->block_indicator();
  m._start_indicator();
  ASSERT_TRUE(out->wait_until_blocked());
  m._stop_indicator();  // gives up after its one-second wait
  EXPECT_EQ(out->agent_output(), ERASE);
  EXPECT_FALSE(m.indicator_running());
  // A new start while the old thread is still stuck; once released, the old thread finishes
  // its frame and ends, and only the new one goes on drawing.
  m._start_indicator();
  out->release_indicator();
  ASSERT_TRUE(out->wait_for_frames(10));
  m._stop_indicator();
  EXPECT_EQ(out->agent_output(), ERASE + ERASE);
  // The stuck frame is the only one its thread ever finished (while it finished it, its writes
  // and the new thread's could interleave: that is what the one-second limit gives up).
  const std::thread::id old_thread = out->first_blocked();
  std::size_t by_old = 0;
  std::size_t by_new = 0;
  for (const auto& id : out->frame_threads()) (id == old_thread ? by_old : by_new) += 1;
  EXPECT_EQ(by_old, 1U);
  EXPECT_GE(by_new, 9U);
}

TEST_F(Indicator, RealPeriodStopsPromptlyEachTime) {
  OutputManager m(zell_test::recorded_ports(out, clock, 80, std::chrono::milliseconds(500)));
  for (int i = 1; i <= 5; ++i) {
    m._start_indicator();
    ASSERT_TRUE(out->wait_for_frames(static_cast<std::size_t>(i)));
    m._stop_indicator();
  }
  EXPECT_EQ(out->agent_output(), ERASE + ERASE + ERASE + ERASE + ERASE);
}

TEST_F(Indicator, BrokenOutputEndsTheThreadQuietly) {
  OutputManager m(zell_test::recorded_ports(out, clock, 80, std::chrono::milliseconds(1)));
  out->fail_indicator(RecordingWriter::Failure::broken_pipe);
  m._start_indicator();
  while (m.indicator_running()) std::this_thread::yield();
  m._stop_indicator();  // already stopped: writes nothing, not even the cursor
  EXPECT_EQ(out->agent_output(), "");
  // A later start draws again.
  out->fail_indicator(RecordingWriter::Failure::none);
  m._start_indicator();
  ASSERT_TRUE(out->wait_for_frames(1));
}

TEST_F(Indicator, ClosedStreamEndsTheThreadAndIsRaisedByTheErase) {
  OutputManager m(zell_test::recorded_ports(out, clock, 80, std::chrono::milliseconds(1)));
  out->fail_indicator(RecordingWriter::Failure::closed);
  m._start_indicator();
  while (m.indicator_running()) std::this_thread::yield();
  out->fail_indicator(RecordingWriter::Failure::none);
  m._start_indicator();
  ASSERT_TRUE(out->wait_for_frames(1));
  out->fail_agent(RecordingWriter::Failure::broken_pipe);
  EXPECT_NO_THROW(m._stop_indicator());  // OS errors while erasing are ignored
  m._start_indicator();
  out->fail_agent(RecordingWriter::Failure::closed);
  EXPECT_THROW(m._stop_indicator(), zell::output::StreamClosed);
  EXPECT_FALSE(m.indicator_running());
  out->fail_agent(RecordingWriter::Failure::none);
}

TEST_F(Indicator, ClosedStandardOutputEndsTheThread) {
  int fds[2];  // a terminal whose other side has gone: writes fail with EIO
  ASSERT_EQ(::openpty(&fds[0], &fds[1], nullptr, nullptr, nullptr), 0);
  ::close(fds[0]);
  zell::output::OutputPorts ports = zell_test::recorded_ports(out, clock);
  ports.out = std::make_shared<zell::output::FdWriter>(fds[1]);
  ports.frame_period = std::chrono::milliseconds(1);
  {
    OutputManager m(ports);
    m._start_indicator();
    while (m.indicator_running()) std::this_thread::yield();
    EXPECT_THROW(m.print_info("x"), zell::output::OutputError);  // the agent's own writes raise
  }
  ::close(fds[1]);
}

TEST_F(Indicator, FailingInputFieldEndsTheThreadButLeavesItMarkedRunning) {
  OutputManager m(zell_test::recorded_ports(out, clock, 80, std::chrono::milliseconds(1)));
  auto field = std::make_shared<FakeInputField>();
  field->fail();
  m.set_input_field(field);
  m._start_indicator();
  while (field->calls().find('t') == std::string::npos) std::this_thread::yield();
  EXPECT_TRUE(m.indicator_running());
  m._start_indicator();  // still marked running: no new thread
  m._stop_indicator();   // clears the flag and erases
  EXPECT_EQ(out->agent_output(), ERASE);
  EXPECT_FALSE(m.indicator_running());
  m.set_input_field(nullptr);
  m._start_indicator();
  ASSERT_TRUE(out->wait_for_frames(1));
}

TEST_F(Indicator, HostMayChangeItsHandInsWhileTheIndicatorDraws) {
  // Races here would be reported by ThreadSanitizer.
  OutputManager m(zell_test::recorded_ports(out, clock, 80, std::chrono::microseconds(50)));
  m._start_indicator();
  for (int i = 0; i < 2000; ++i) {
    m.set_status_line(i % 2 ? "busy" : "");
    m.set_input_field(i % 3 ? std::make_shared<FakeInputField>() : nullptr);
    m.set_stage(i % 5 ? "x" : "");
    if (i % 100 == 0) m.start_thinking();
  }
  m._stop_indicator();
  EXPECT_FALSE(m.indicator_running());
}

}  // namespace
