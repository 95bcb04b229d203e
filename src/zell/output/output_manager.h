#pragma once
// The output manager: the one object the agent loop calls for every step of a turn. Each call
// writes the plain terminal presentation to standard output and, when a callback is set, also
// reports the step as an agent event. While the agent works, a background thread redraws a
// status block (the working indicator) every half second.
//
// The operations are defined in several files by concern: output_manager.cpp (construction,
// callbacks, events), thinking.cpp, streaming.cpp, completion.cpp, tool_log.cpp, indicator.cpp.

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

#include "zell/output/state.h"
#include "zell/output/terminal.h"
#include "zell/output/tool_headers.h"
#include "zell/payload.h"
#include "zell/ports/input_field.h"

namespace zell::output {

// Receives every agent event: its type and the payload the manager built for it (the very
// mapping, shared, not a copy). Runs on the agent's thread; ordinary errors it throws are
// discarded, zell::Interrupt and zell::ExitRequest reach the operation's caller.
using EventCallback =
    std::function<void(const std::string& event_type, std::shared_ptr<Payload> payload)>;

// The approval hook kept for the agent loop: (tool name, command) → true to run it.
using ApprovalCallback = std::function<bool(std::string_view tool_name, std::string_view command)>;

// The manager's ports to the operating system. The constructor without arguments uses the real
// ones; tests hand in their own writer, clock, width query and frame period.
struct OutputPorts {
  std::shared_ptr<Writer> out = std::make_shared<FdWriter>(1);
  std::function<double()> clock = wall_clock;
  std::function<int()> cols = _cols;
  std::chrono::nanoseconds frame_period = std::chrono::milliseconds(500);
  // Whether `state.content_chunks` records the answer. A host whose event receiver keeps the
  // answer itself (the full screen) turns it off rather than hold the text twice.
  bool keep_chunks = true;
};

// Single output controller for the entire app.
class OutputManager {
 public:
  // Rotating stage words of the indicator, one per six seconds.
  static constexpr std::array<std::string_view, 9> LABELS{
      "mining",   "cutting facets", "polishing",     "examining", "shaping",
      "refining", "digging deeper", "crystallizing", "forging"};
  // Glyphs of the indicator's status line, one per frame.
  static constexpr std::array<std::string_view, 3> ICONS{"·", "▲", "◆"};

  OutputManager();
  explicit OutputManager(OutputPorts ports);
  // Stops the indicator and waits for its thread(s).
  ~OutputManager();
  OutputManager(const OutputManager&) = delete;
  OutputManager& operator=(const OutputManager&) = delete;

  // The turn's state. Written by the agent's thread; the fields the indicator thread reads
  // (`start_time`) change only under the manager's lock.
  OutputState state;

  // --- callbacks -------------------------------------------------------------------------
  void set_event_callback(EventCallback callback);
  void set_approval_callback(ApprovalCallback callback);
  // The stored approval hook (empty when none); the manager itself never calls it.
  [[nodiscard]] ApprovalCallback approval_callback() const;

  // --- what the host may hand the indicator ----------------------------------------------
  // A line shown dim under the indicator block while non-empty.
  void set_status_line(std::string line);
  // The host's typeahead field, read by the indicator each frame; null for none. Shared so that
  // a frame in progress keeps the field alive when the host replaces it.
  void set_input_field(std::shared_ptr<ports::InputField> field);

  // --- events ----------------------------------------------------------------------------
  // Hands (event_type, payload) to the event callback, if any, on the calling thread.
  void _emit_event(std::string_view event_type, Payload payload = {});

  // --- thinking, streaming, completion ---------------------------------------------------
  // Begin thinking phase — shows working indicator.
  void start_thinking(bool reset = true);
  void feed_thinking(std::string_view chunk);
  void set_thinking_peek(std::string_view text);
  // Emit the complete thinking text for display in TUI.
  void thinking_done(std::string_view full_text);
  void set_stage(std::string_view stage);
  // Transition to content streaming — stops indicator.
  void start_streaming();
  // Stream content to terminal with soft wrapping.
  void stream(std::string_view chunk);
  // Ends the answer's paragraph when one is open, so that a line written now starts a line of
  // its own and the next chunk opens a new paragraph; whether one was open.
  bool end_answer();
  void done();
  void set_error(std::string_view msg);
  void print_info(std::string_view text);
  // The user's own words as the agent reports them (a conversation it replays): a dim "›" line,
  // and a "user_message" event.
  void print_user(std::string_view text);
  // A problem that does not end the turn (the agent sent something unreadable): a red line, and
  // a "problem" event.
  void print_problem(std::string_view text);

  // --- tool log --------------------------------------------------------------------------
  // Records a tool call, prints its header line, and returns its index in the turn.
  int log_tool(std::string_view name, std::string_view args = "");
  // Show tool result with tree-style indentation.
  void tool_result(std::string_view result, bool error = false, int idx = -1);
  // Drops the platform allocator's diagnostics from a tool's output.
  [[nodiscard]] static std::string _filter_noise(std::string_view text);

  // --- working indicator -----------------------------------------------------------------
  void _start_indicator();
  // Stops the indicator thread (returning as soon as it has finished the frame it is drawing,
  // at most one second) and erases the block.
  void _stop_indicator();

  // --- read-only views for callers and tests ---------------------------------------------
  [[nodiscard]] bool indicator_running() const noexcept { return _indicator_running.load(); }
  [[nodiscard]] std::string custom_stage() const;
  [[nodiscard]] std::string status_line() const;
  [[nodiscard]] std::string last_thinking_text() const;
  [[nodiscard]] long long col_pos() const noexcept { return _col_pos; }

 private:
  // One started indicator thread: told to stop, drawing a frame or not, and ended or not.
  // All three are guarded by _indicator_mutex.
  struct IndicatorRun {
    bool stop = false;
    bool drawing = false;
    bool done = false;
  };

  [[nodiscard]] std::shared_ptr<const EventCallback> _callback() const;
  static void _deliver(const EventCallback& callback, std::string_view event_type, Payload payload);
  // Emits only when a callback is set, so the payload is not even built without one.
  template <typename Build>
  void _emit_lazy(std::string_view event_type, Build&& build) {
    if (std::shared_ptr<const EventCallback> cb = _callback()) {
      _deliver(*cb, event_type, build());
    }
  }

  // A tool call's header line, a blank line above it.
  static std::string _tool_header_line(std::string_view name, std::string_view args);
  void _write(std::string_view bytes) { _ports.out->write(bytes); }
  void _flush() { _ports.out->flush(); }

  // The longest answer piece one "content" event carries. A longer chunk goes out as several
  // events, cut between code points, so that the receiver gets every character of it.
  static constexpr std::size_t CONTENT_EVENT_CHARS = 2000;
  // The longest notice an "info" event carries.
  static constexpr std::size_t INFO_EVENT_CHARS = 2000;
  // A line between the turn's output (the indicator makes room for it), and its event.
  void _print_line(std::string_view line, std::string_view event_type, std::string_view key,
                   std::string_view text);
  // Delivers `chunk` as "content" events of at most CONTENT_EVENT_CHARS characters each.
  // `tokens`: the running count after the chunk, sent with each piece.
  static void _emit_content(const EventCallback& callback, std::string_view chunk,
                            long long tokens);

  // Builds the soft-wrapped, control-safe text of an answer chunk in `_stream_buffer`,
  // advancing the output column `col` from where the chunk starts; returns the chunk's length
  // in characters.
  std::size_t _wrap_chunk(std::string_view chunk, long long wrap_at, long long& col);
  void _run_indicator(std::shared_ptr<IndicatorRun> run);
  void _draw_frame(long long tick);
  void _reap_indicator_threads();

  OutputPorts _ports;

  // Guards the state the indicator reads and the fields that change together (see state),
  // plus the callbacks, the status line and the input field. Never held across a callback,
  // a terminal write or another operation.
  mutable std::mutex _lock;
  std::shared_ptr<const EventCallback> _event_callback;
  ApprovalCallback _approval_callback;
  std::string _custom_stage;
  std::string _status_line;
  std::shared_ptr<ports::InputField> _input_field;
  std::string _last_thinking_text;
  long long _col_pos = 0;
  std::string _stream_buffer;  // the wrapped text of the chunk being streamed

  // The indicator. `_indicator_running` is written only under `_indicator_mutex` and may be
  // read anywhere; the condition variable wakes the thread's sleep on stop and wakes a stop
  // that waits for the thread to end.
  std::atomic<bool> _indicator_running{false};
  std::mutex _indicator_mutex;
  std::condition_variable _indicator_cv;
  std::shared_ptr<IndicatorRun> _indicator_run;
  std::thread _indicator_thread;
  // Earlier threads that had not ended when they were replaced; joined once they end.
  std::vector<std::pair<std::thread, std::shared_ptr<IndicatorRun>>> _retired_threads;
};

}  // namespace zell::output
