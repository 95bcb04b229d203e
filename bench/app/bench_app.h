#pragma once
// The full-screen application as the benchmarks run it: the real VellumineTUI (chat screen,
// transcript, status line, bridge, agent worker) with stand-ins for the host services it asks
// for (a store that keeps nothing, a model server that is always ready), on a headless driver
// at 120×40. `UiThread` runs the App's real event loop on a thread of its own, key bytes go in
// through the driver's pipe and every frame lands in a `FrameSink`.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "host/tui/chat_log.h"
#include "host/tui/chat_screen.h"
#include "host/tui/vellumine_tui.h"
#include "termui/headless_driver.h"

namespace bench_app {

using Clock = std::chrono::steady_clock;

constexpr termui::Size SCREEN{120, 40};

// The host services, built before the App that holds references to them.
struct HostParts {
  struct NoStore final : zell::ports::ConfigStore {
    void save_config(const zell::ports::ZellConfig&) override {}
  };
  zell::ports::ZellConfig config;
  NoStore store;
};

class BenchApp : private HostParts, public host::tui::VellumineTUI {
 public:
  using AgentFactory = std::function<std::unique_ptr<host::Agent>(zell::output::OutputManager&)>;

  // The chat opens at once; `script` (JSON Lines) is played as if typed, at `speed`. Typed
  // prompts go to `agent` when it is given.
  explicit BenchApp(std::string_view script = {}, double speed = 0, AgentFactory agent = {});

  // Runs `fn` on the UI thread and waits for it (from any other thread).
  void call(std::function<void()> fn);
  [[nodiscard]] host::tui::ChatScreen& chat_screen() { return *chat(); }
};

// Frame writes seen on the UI thread, handed to the measuring thread.
class FrameSink {
 public:
  // Called on the UI thread with each frame, under the sink's lock.
  std::function<void(std::string_view bytes, Clock::time_point at)> on_frame;

  void attach(termui::HeadlessDriver& driver);
  // Waits until `count` frames have been written in all.
  void wait_frames(std::uint64_t count);

  struct State {
    std::uint64_t frames = 0;
    std::uint64_t bytes = 0;
    Clock::time_point last_time;
    std::size_t last_bytes = 0;
  };
  [[nodiscard]] State state();

 private:
  std::mutex m_;
  std::condition_variable cv_;
  State s_;
};

// The App's event loop on its own thread, on a headless driver with an input pipe.
class UiThread {
 public:
  UiThread(termui::App& app, FrameSink& sink, termui::Size size = SCREEN);
  ~UiThread();
  UiThread(const UiThread&) = delete;
  UiThread& operator=(const UiThread&) = delete;

  // Writes key bytes as a terminal would.
  void send(std::string_view bytes);
  // CPU time the UI thread has used so far.
  [[nodiscard]] double cpu_seconds() const;

 private:
  termui::App& app_;
  termui::HeadlessDriver driver_;
  std::thread thread_;
};

// One transcript entry: its kind ("user", "assistant", "info", "error") and its text.
struct Entry {
  std::string kind;
  std::string text;
};

// Entries in the format bench/scrollback/make_entries.py writes.
[[nodiscard]] std::vector<Entry> read_entries(const std::string& path);
// `n` entries alternating a user prompt and a plain assistant answer, as a chat builds up.
[[nodiscard]] std::vector<Entry> conversation(std::size_t n);
// Appends the first `n` of `entries` to the transcript, following the end (UI thread).
void append_entries(host::tui::ChatLog& log, const std::vector<Entry>& entries, std::size_t n);

// CPU time of the whole process (user + system), seconds.
[[nodiscard]] double process_cpu_seconds();
// The CPU clock of the calling thread, seconds.
[[nodiscard]] double thread_cpu_seconds();

// Median and other order statistics of a sample (sorted in place).
[[nodiscard]] double percentile(std::vector<double>& values, double p);

}  // namespace bench_app
