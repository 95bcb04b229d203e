// An Agent Client Protocol agent (the project's scripted one, a child process) drives the whole
// application at 120×40: the real chat screen, transcript, bridge and agent runner, with the
// client reading the agent's pipe on the agent runner's thread.
//
// Burst: the agent writes 10,000 agent_message_chunk updates as fast as the pipe takes them
// (a line break after every 14th, as an answer has), stamping each as it leaves (the monotonic
// clock, shared by both processes). Measured per chunk: the time from its write to the first
// frame written after the UI thread took it, and the CPU time of this process (pipe reading,
// JSON, the session's view, output manager, bridge, transcript and the frames) over the whole
// burst. Five rounds; the lags of all rounds together, the median round's CPU.
//
// Cancel: a turn that waits for ever is stopped by Ctrl+C; measured from the key's bytes
// written to the terminal's input to the first frame showing the turn's end in the transcript
// (and, beside it, to the agent's confirmation, which ends the turn behind the screen).

#include <fmt/format.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "bench/acp/acp_app.h"
#include "host/acp/json_rpc.h"
#include "zell/output/output_manager.h"

namespace {

using namespace bench_app;
using namespace bench_acp;
using std::chrono::milliseconds;

constexpr int CHUNKS = 10'000;
constexpr int BURSTS = 5;
constexpr int CANCELS = 20;
constexpr double FRAME_MS = 1000.0 / termui::App::FRAME_RATE;
// The event loop sleeps in whole milliseconds, so a frame may go out up to 1 ms after its time.
constexpr double ONE_FRAME_MS = FRAME_MS + 1.0;
constexpr double CPU_GOAL_US = 5.0;
constexpr double CANCEL_GOAL_MS = 100.0;

// The anchor: parsing the same burst's lines alone, in memory (CPU µs per line).
double parse_alone_us() {
  std::vector<std::string> lines;
  for (int i = 0; i < CHUNKS; ++i) {
    const std::string text =
        (i % 14 == 0 ? "w" : " w") + std::to_string(i) + (i % 14 == 13 ? "\n" : "");
    lines.push_back(nlohmann::json{{"jsonrpc", "2.0"},
                                   {"method", "session/update"},
                                   {"params",
                                    {{"sessionId", "s-1"},
                                     {"update",
                                      {{"sessionUpdate", "agent_message_chunk"},
                                       {"content", {{"type", "text"}, {"text", text}}}}}}}}
                        .dump());
  }
  std::vector<double> rounds;
  std::size_t sink = 0;
  for (int round = 0; round < BURSTS; ++round) {
    const double cpu0 = thread_cpu_seconds();
    for (const std::string& line : lines) sink += host::acp::parse_message(line).method.size();
    rounds.push_back((thread_cpu_seconds() - cpu0) * 1e6 / CHUNKS);
  }
  return sink > 0 ? percentile(rounds, 50) : 0;
}

class NullWriter final : public zell::output::Writer {
 public:
  void write(std::string_view) override {}
  void flush() override {}
};

// The client alone: the agent's pipe to the output manager's events, without the application
// (process CPU µs per chunk, median of the rounds).
double client_alone_us(const host::acp::AcpOptions& options) {
  zell::output::OutputPorts ports;
  ports.out = std::make_shared<NullWriter>();
  ports.frame_period = std::chrono::hours(1);
  ports.keep_chunks = false;
  zell::output::OutputManager manager(ports);
  std::size_t contents = 0;
  manager.set_event_callback([&](const std::string& type, std::shared_ptr<zell::Payload> payload) {
    if (type == "content") contents += burst_chunks_in(payload->get("chunk"));
  });
  host::acp::AcpAgent agent(manager, options);
  agent.start();
  std::vector<double> rounds;
  for (int round = 0; round < BURSTS; ++round) {
    const double cpu0 = process_cpu_seconds();
    (void)agent.run_turn(fmt::format("lines {}", CHUNKS));
    rounds.push_back((process_cpu_seconds() - cpu0) * 1e6 / CHUNKS);
  }
  return contents == static_cast<std::size_t>(CHUNKS) * BURSTS ? percentile(rounds, 50) : 0;
}

std::vector<Clock::time_point> read_stamps(const std::filesystem::path& file) {
  std::vector<Clock::time_point> out;
  std::ifstream in(file);
  for (long long ns = 0; in >> ns;) out.emplace_back(std::chrono::nanoseconds(ns));
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string agent = argc > 1 ? argv[1] : FAKE_ACP_AGENT;
  const std::filesystem::path stamps =
      std::filesystem::temp_directory_path() / fmt::format("acp-bench-stamps-{}", ::getpid());
  host::acp::AcpOptions options;
  options.command = {agent, "--stamps", stamps.string()};

  AcpApp app(options);
  ScreenWatch screen(app);
  FrameSink sink;
  // Written on the UI thread only.
  std::vector<Clock::time_point> frame_after;  // per chunk: the first frame after it
  frame_after.reserve(static_cast<std::size_t>(CHUNKS) * BURSTS + 1000);
  double bookkeeping_cpu = 0;
  sink.on_frame = [&](std::string_view, Clock::time_point at) {
    const double cpu0 = thread_cpu_seconds();
    while (frame_after.size() < app.handled) frame_after.push_back(at);
    screen.on_frame(at);
    bookkeeping_cpu += thread_cpu_seconds() - cpu0;
  };
  UiThread ui(app, sink);
  sink.wait_frames(1);

  // The agent starts with the first turn (initialize, session/new): not measured.
  screen.watch({"thought about it", Sight::Last::none, {}});
  ui.send("think warm up\r");
  screen.wait_seen();
  app.wait_idle();

  std::vector<double> lag_ms;
  std::vector<double> taken_ms;  // per chunk: its write to the UI thread taking it
  std::vector<double> cpu_us;
  std::vector<double> ui_us;
  std::vector<double> events;  // content events the UI thread took, per burst
  std::size_t missing = 0;
  for (int round = 0; round < BURSTS; ++round) {
    std::size_t base = 0;
    std::size_t events0 = 0;
    double book0 = 0;
    app.call([&] {
      base = app.handled;
      events0 = app.events;
      book0 = bookkeeping_cpu;
    });
    const double cpu0 = process_cpu_seconds();
    const double ui0 = ui.cpu_seconds();
    ui.send(fmt::format("lines {}\r", CHUNKS));
    for (bool done = false; !done; std::this_thread::sleep_for(milliseconds(1))) {
      app.call([&] { done = frame_after.size() >= base + CHUNKS; });
    }
    app.wait_idle();
    const double cpu = process_cpu_seconds() - cpu0;
    const double ui_cpu = ui.cpu_seconds() - ui0;
    std::vector<Clock::time_point> frames;
    std::vector<Clock::time_point> taken;
    double book = 0;
    app.call([&] {
      frames.assign(frame_after.begin() + static_cast<std::ptrdiff_t>(base), frame_after.end());
      taken.assign(app.handled_at.begin() + static_cast<std::ptrdiff_t>(base),
                   app.handled_at.end());
      book = bookkeeping_cpu - book0;
      events.push_back(static_cast<double>(app.events - events0));
    });
    const std::vector<Clock::time_point> sent = read_stamps(stamps);
    if (sent.size() != CHUNKS || frames.size() != CHUNKS) ++missing;
    for (std::size_t i = 0; i < std::min(sent.size(), frames.size()); ++i) {
      lag_ms.push_back(std::chrono::duration<double, std::milli>(frames[i] - sent[i]).count());
    }
    for (std::size_t i = 0; i < std::min(sent.size(), taken.size()); ++i) {
      taken_ms.push_back(std::chrono::duration<double, std::milli>(taken[i] - sent[i]).count());
    }
    cpu_us.push_back((cpu - book) * 1e6 / CHUNKS);
    ui_us.push_back((ui_cpu - book) * 1e6 / CHUNKS);
  }

  std::vector<double> confirmed_ms;
  std::vector<double> cancel_ms =
      time_cancels(app, ui, screen, "hang", "waiting", CANCELS, &confirmed_ms);
  std::filesystem::remove(stamps);

  const std::size_t counted = lag_ms.size();
  const auto late = static_cast<std::size_t>(
      std::count_if(lag_ms.begin(), lag_ms.end(), [](double l) { return l > ONE_FRAME_MS; }));
  const double lag_max = *std::max_element(lag_ms.begin(), lag_ms.end());
  const double lag_median = percentile(lag_ms, 50);
  const double lag_p999 = percentile(lag_ms, 99.9);
  const double taken_p999 = percentile(taken_ms, 99.9);
  const double taken_median = percentile(taken_ms, 50);
  const double cpu_median = percentile(cpu_us, 50);
  const double cpu_best = cpu_us.front();  // sorted by percentile()
  const double ui_median = percentile(ui_us, 50);
  const double events_median = percentile(events, 50);
  const double parse_us = parse_alone_us();
  const double client_us = client_alone_us(options);
  const double cancel_max = *std::max_element(cancel_ms.begin(), cancel_ms.end());
  const double cancel_median = percentile(cancel_ms, 50);

  fmt::print(
      "acp_burst chunks={}x{} counted={} lag_median_ms={:.2f} lag_p999_ms={:.2f} "
      "lag_max_ms={:.2f} later_than_one_frame={} to_ui_thread_ms median={:.2f} p999={:.2f} "
      "content_events_per_burst={:.0f} "
      "cpu_us_per_chunk median={:.2f} best={:.2f} (ui thread {:.2f}; the client alone, pipe to the "
      "output manager's events, {:.2f}; the line's JSON parsing alone, in memory, {:.2f})\n",
      BURSTS, CHUNKS, counted, lag_median, lag_p999, lag_max, late, taken_median, taken_p999,
      events_median, cpu_median, cpu_best, ui_median, client_us, parse_us);
  fmt::print(
      "ratio acp_chunk_cpu = {:.2f} ({:.1f} us goal / {:.2f} us of CPU per agent_message_chunk, "
      "the agent's pipe to the transcript and its frames, median of {} bursts of {}; goal >= 1)\n",
      CPU_GOAL_US / cpu_median, CPU_GOAL_US, cpu_median, BURSTS, CHUNKS);
  fmt::print(
      "ratio acp_burst_lag = {:.2f} (one frame {:.1f} ms / a burst's chunk from the agent's write "
      "to the screen at the 99.9th percentile {:.2f} ms; median {:.2f}, slowest {:.2f} ms, {} of "
      "{} later than one frame; goal >= 1)\n",
      ONE_FRAME_MS / std::max(lag_p999, 1e-6), ONE_FRAME_MS, lag_p999, lag_median, lag_max, late,
      counted);
  fmt::print(
      "ratio acp_cancel = {:.2f} ({:.0f} ms / Ctrl+C to the turn's end in the transcript, slowest "
      "of {} {:.1f} ms; median {:.1f} ms; the agent's confirmation after median {:.1f} ms; goal "
      ">= 1)\n",
      CANCEL_GOAL_MS / std::max(cancel_max, 1e-6), CANCEL_GOAL_MS, CANCELS, cancel_max,
      cancel_median, percentile(confirmed_ms, 50));
  return missing == 0 ? 0 : 1;
}
