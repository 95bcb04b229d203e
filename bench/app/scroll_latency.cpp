// Keys and the wheel on a long transcript while a turn plays: the real chat screen at 120×40
// holds the first N entries of a mixed transcript (bench/scrollback/make_entries.py), the
// scripted agent plays a long turn (thinking streamed, tool calls and results, Markdown answers
// with code streamed, again and again), and keys and wheel steps are written into the input
// pipe one at a time. The time runs from writing the bytes to the first
// frame that shows their effect: the typed character in the prompt, the view at the top after
// Home, at the end after End, moved up or down after Page Up/Down and a wheel step.
//
//   app_scroll_latency <entries_file> <N>
//
// Prints per action `scroll_latency n=<N> action=<a> p50_ms=<x> p99_ms=<y> max_ms=<z>`, then
// `ratio scroll_latency_<N> = <one 60 Hz frame / slowest p99>` (goal >= 1).

#include <fmt/format.h>

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bench/app/bench_app.h"
#include "host/tui/chat_input.h"
#include "termui/app.h"

namespace {

using namespace bench_app;
using std::chrono::milliseconds;

constexpr int ROUNDS = 30;
constexpr double FRAME_MS = 1000.0 / termui::App::FRAME_RATE;

// A long turn: thinking, a tool call and a Markdown answer with code, all streamed, again and
// again. JSON Lines for the scripted agent.
std::string script() {
  const std::string thought =
      "The parser reads each line once and keeps the state it needs for the next one, so the "
      "unit suffix must be looked at right after the number. I should read the table again. ";
  const std::string answer =
      "The loop compared `end[1]` instead of `end[0]`.\\n\\n```c\\nfor (size_t i = 0; i < N; "
      "i++)\\n"
      "    if (end[0] == UNITS[i].unit) return n * UNITS[i].factor;\\n```\\n\\nBoth **off-by-one** "
      "errors are fixed, and the test passes again.\\n\\n";
  std::string out = R"({"op": "user", "text": "Find the bug, at length."})"
                    "\n";
  for (int i = 0; i < 40; ++i) {
    out += R"({"op": "start_thinking", "reset": false})"
           "\n";
    out += R"({"op": "think", "text": ")" + thought + thought +
           R"(", "chunk_chars": 14, "delay": 0.01})"
           "\n";
    out += R"({"op": "log_tool", "name": "read_file", "args": "src/duration.c"})"
           "\n";
    out +=
        R"({"op": "tool_result", "result": "long parse_duration(const char *text);\nreturn 0;\n"})"
        "\n";
    out += R"({"op": "say", "text": ")" + answer + answer +
           R"(", "chunk_chars": 12, "delay": 0.01})"
           "\n";
  }
  out += R"({"op": "done"})"
         "\n";
  return out;
}

// What an action does to the screen, checked on the UI thread when a frame goes out.
struct Action {
  std::string name;
  std::string bytes;
  // Given the state before the bytes were sent, whether the state now shows the action.
  std::function<bool(int top_before, std::size_t typed_before, int top, std::size_t typed,
                     bool at_end)>
      shown;
};

std::vector<Action> actions() {
  const auto up = [](int before, std::size_t, int top, std::size_t, bool) { return top < before; };
  const auto down = [](int before, std::size_t, int top, std::size_t, bool) {
    return top > before;
  };
  return {
      {"home", "\x1b[H", [](int, std::size_t, int top, std::size_t, bool) { return top == 0; }},
      {"page_down", "\x1b[6~", down},
      {"wheel_down", "\x1b[<65;20;10M", down},
      {"key", "x",
       [](int, std::size_t before, int, std::size_t typed, bool) { return typed > before; }},
      {"end", "\x1b[F", [](int, std::size_t, int, std::size_t, bool at_end) { return at_end; }},
      {"page_up", "\x1b[5~", up},
      {"wheel_up", "\x1b[<64;20;10M", up},
  };
}

// The measurement in flight, checked by the frame callback.
struct Pending {
  const Action* action = nullptr;
  int top_before = 0;
  std::size_t typed_before = 0;
  Clock::time_point sent;
  double ms = -1;
};

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fprintf(stderr, "usage: %s <entries_file> <N>\n", argv[0]);
    return 2;
  }
  const std::size_t wanted = static_cast<std::size_t>(std::atol(argv[2]));
  const std::vector<Entry> entries = read_entries(argv[1]);
  if (entries.size() < wanted) {
    std::fprintf(stderr, "%s holds fewer than %zu entries\n", argv[1], wanted);
    return 1;
  }

  const std::string turn = script();
  BenchApp app(turn, 1.0);
  FrameSink sink;
  std::mutex m;
  std::condition_variable cv;
  Pending pending;
  host::tui::ChatLog* log = nullptr;
  sink.on_frame = [&](std::string_view, Clock::time_point at) {
    std::lock_guard lock(m);
    if (pending.action == nullptr || pending.ms >= 0 || log == nullptr) return;
    const std::size_t typed = app.chat_screen().input().value().size();
    if (pending.action->shown(pending.top_before, pending.typed_before, log->scroll_offset().y,
                              typed, log->at_end())) {
      pending.ms = std::chrono::duration<double, std::milli>(at - pending.sent).count();
      cv.notify_all();
    }
  };
  UiThread ui(app, sink);
  sink.wait_frames(1);
  app.call([&] {
    append_entries(app.chat_screen().log(), entries, wanted);
    log = &app.chat_screen().log();
  });
  for (bool busy = false; !busy; std::this_thread::sleep_for(milliseconds(5))) {
    app.call([&] { busy = app.chat_screen().busy(); });
  }

  std::this_thread::sleep_for(milliseconds(300));

  const std::vector<Action> all = actions();
  std::map<std::string, std::vector<double>> times;
  int missed = 0;
  bool busy = true;
  for (int round = 0; round < ROUNDS && busy; ++round) {
    for (const Action& action : all) {
      {
        std::lock_guard lock(m);
        pending = {};
      }
      int top = 0;
      std::size_t typed = 0;
      app.call([&] {
        busy = app.chat_screen().busy();
        top = log->scroll_offset().y;
        typed = app.chat_screen().input().value().size();
        if (typed > 60) {
          app.chat_screen().input().set_value("");
          typed = 0;
        }
      });
      if (!busy) break;                               // measured only while the turn plays
      std::this_thread::sleep_for(milliseconds(20));  // the change above is painted
      {
        std::lock_guard lock(m);
        pending = {&action, top, typed, Clock::now(), -1};
      }
      ui.send(action.bytes);
      std::unique_lock lock(m);
      if (!cv.wait_for(lock, std::chrono::seconds(2), [&] { return pending.ms >= 0; })) {
        ++missed;
        pending.action = nullptr;
        continue;
      }
      times[action.name].push_back(pending.ms);
      pending.action = nullptr;
    }
  }
  app.call([&] {
    if (app.chat_screen().busy()) app.interrupt_turn();
  });

  double worst = 0;
  for (const Action& action : all) {
    std::vector<double>& t = times[action.name];
    if (t.empty()) continue;
    const double p99 = percentile(t, 99);
    worst = std::max(worst, p99);
    fmt::print("scroll_latency n={} action={} p50_ms={:.3f} p99_ms={:.3f} max_ms={:.3f}\n", wanted,
               action.name, percentile(t, 50), p99, *std::max_element(t.begin(), t.end()));
  }
  fmt::print(
      "ratio scroll_latency_{} = {:.2f} (one 60 Hz frame {:.1f} ms / slowest p99 {:.2f} ms of "
      "key, Home, End, Page Up/Down and wheel at {} entries while a turn streams; "
      "{} actions never shown; goal >= 1)\n",
      wanted, missed > 0 ? 0.0 : FRAME_MS / worst, FRAME_MS, worst, wanted, missed);
  return missed > 0 ? 1 : 0;
}
