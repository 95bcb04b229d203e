// Idling with a finished transcript: the chat screen of the real application at 120×40 gets
// 996 mixed entries (bench/scrollback/make_entries.py) and then one whole turn through the
// agent's road (prompt, thinking, answer, summary: 1,000 entries). Once the turn has ended and
// its last frame is out, nothing happens for 10 s: frames written and CPU time used (the whole
// process, and the UI thread alone) are counted over that time.
//
//   app_idle_bench <entries_file>
//
// Prints `idle entries=<n> seconds=10 frames=<f> bytes=<b> process_cpu_ms=<x> ui_cpu_ms=<y>`
// and two ratio lines against a renderer that redraws on a 60 Hz clock and against one busy
// core.

#include <fmt/format.h>

#include <cstdio>
#include <thread>

#include "bench/app/bench_app.h"

namespace {

using namespace bench_app;
using std::chrono::milliseconds;

constexpr int SECONDS = 10;
constexpr std::size_t ENTRIES_BEFORE_TURN = 996;

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s <entries_file>\n", argv[0]);
    return 2;
  }
  const std::vector<Entry> entries = read_entries(argv[1]);
  BenchApp app;  // a prompt of the user's own gets the demo runtime's reply, at once
  FrameSink sink;
  UiThread ui(app, sink);
  sink.wait_frames(1);
  app.call([&] {
    append_entries(app.chat_screen().log(), entries, ENTRIES_BEFORE_TURN);
    app.chat_screen().submit("Summarise what we changed today.");
  });
  for (bool busy = true; busy; std::this_thread::sleep_for(milliseconds(10))) {
    app.call([&] { busy = app.chat_screen().busy(); });
  }
  std::size_t history = 0;
  app.call([&] { history = app.chat_screen().log().history().size(); });
  // The turn's last change is painted within a frame period or two.
  std::this_thread::sleep_for(milliseconds(200));

  const FrameSink::State before = sink.state();
  const double process0 = process_cpu_seconds();
  const double ui0 = ui.cpu_seconds();
  std::this_thread::sleep_for(std::chrono::seconds(SECONDS));
  const FrameSink::State after = sink.state();
  const double process_ms = (process_cpu_seconds() - process0) * 1e3;
  const double ui_ms = (ui.cpu_seconds() - ui0) * 1e3;

  const std::uint64_t frames = after.frames - before.frames;
  fmt::print(
      "idle entries={} seconds={} frames={} bytes={} process_cpu_ms={:.3f} ui_cpu_ms={:.3f}\n",
      history, SECONDS, frames, after.bytes - before.bytes, process_ms, ui_ms);
  const std::uint64_t redraws = static_cast<std::uint64_t>(termui::App::FRAME_RATE) * SECONDS;
  fmt::print(
      "ratio idle_frames = {} (frames a 60 Hz redraw loop writes in {} s, {} / frames written "
      "{}, counted as 1 when none; goal: none written)\n",
      redraws / std::max<std::uint64_t>(frames, 1), SECONDS, redraws, frames);
  fmt::print(
      "ratio idle_cpu = {:.0f} (one busy core for {} s / CPU used by the whole process {:.3f} "
      "ms, UI thread {:.3f} ms; goal: about none)\n",
      SECONDS * 1e3 / std::max(process_ms, 1e-3), SECONDS, process_ms, ui_ms);
  return 0;
}
