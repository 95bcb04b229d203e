#pragma once
// An agent that speaks the Agent Client Protocol, run as our child process: `start` launches
// it and opens a session (initialize, session/new), each `run_turn` sends the user's prompt
// (session/prompt) and shows the session's updates through the output manager until the
// prompt's result says why the turn stopped. While a turn runs, the agent's requests are served
// on the same thread: permissions (asked through the asker), the session folder's files and
// terminals; anything else is answered "method not found". `cancel` (any thread) sends
// session/cancel, and the turn shows "Cancelled" as soon as its thread wakes, dropping what the
// agent still streams of its answer; the agent's confirmation then ends it quietly. The agent's
// standard error is kept, not shown, and named when it fails.

#include <atomic>
#include <chrono>
#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "host/acp/json_rpc.h"
#include "host/acp/permission.h"
#include "host/acp/session_view.h"
#include "host/acp/wake_pipe.h"
#include "host/runtime/http_agent.h"
#include "zell/output/output_manager.h"

namespace host::acp {

class ChildProcess;
class FileService;
class Launcher;
class StderrTail;
class TerminalService;

inline constexpr int kProtocolVersion = 1;

class AcpError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct AcpOptions {
  std::vector<std::string> command;  // the agent's argv
  std::string cwd;                   // the session's folder; empty: ours
  std::vector<std::pair<std::string, std::string>> env;
  std::chrono::milliseconds start_timeout{60'000};  // initialize and session/new
  // For the agent to confirm a cancel; past it the turn ends without its answer.
  std::chrono::milliseconds cancel_grace{2'000};
  std::chrono::milliseconds exit_grace{2'000};  // SIGTERM to SIGKILL when we leave
  // The presentation redraws items in place: tool calls and plans are sent whole whenever
  // they change (see SessionView), running terminals' output included.
  bool live_entries = false;
};

struct AgentInfo {
  std::string name;
  std::string version;
  int protocol_version = 0;
};

using runtime::TurnEnd;
using runtime::TurnResult;

class AcpAgent {
 public:
  // Without an asker, permissions are asked through the manager's approval hook (yes/no), and
  // refused when it has none.
  AcpAgent(zell::output::OutputManager& manager, AcpOptions options, PermissionAsker asker = {});
  ~AcpAgent();
  AcpAgent(const AcpAgent&) = delete;
  AcpAgent& operator=(const AcpAgent&) = delete;

  // Starts the agent and opens the session; AcpError saying why (with the last lines of the
  // agent's standard error) when it cannot. Called once, before the first turn.
  void start();
  [[nodiscard]] bool started() const { return session_ready_; }
  [[nodiscard]] const AgentInfo& info() const { return info_; }

  // One turn, ended through the manager: done() for end_turn, else set_error with a line that
  // says why (the agent's stop reason, its exit, a protocol error). Starts the agent first when
  // `start` was not called.
  TurnResult run_turn(std::string_view prompt);

  // Between turns (on the thread that runs them): the next turn goes to a new session
  // (session/new; the first turn opens one when the agent has not started yet). AcpError when
  // the agent refuses, does not answer, exits, or `abandon` stops the wait; the session in use
  // then stays.
  void new_session();

  // From any thread. The first call during a turn sends session/cancel and returns true; the
  // turn then ends with the agent's "cancelled" (or after cancel_grace without it). Returns
  // false when no turn runs or the cancel was already sent.
  bool cancel();
  // From any thread: the running turn (or, between turns, the next one) ends now, without
  // waiting for the agent: the app is closing, or the user interrupted twice.
  void abandon();

  // The agent's slash commands, as it last announced them.
  [[nodiscard]] const std::vector<AvailableCommand>& available_commands() const;
  // The agent's process id while it runs, else -1.
  [[nodiscard]] int pid() const;
  // The last lines of the agent's standard error.
  [[nodiscard]] std::vector<std::string> stderr_lines() const;
  // Ends the agent (SIGTERM, then SIGKILL after the grace); safe to call more than once.
  void stop();
  // Ends the agent, if it runs, and forgets that it stopped or was abandoned, so that `start`
  // launches it anew (a start that failed, tried again). No other thread may use the agent.
  void reset();

 private:
  enum class Wait { response, abandoned, timeout, closed };
  struct Pumped {
    Wait how = Wait::closed;
    Message response;
  };

  // Serves the agent's messages until the response to `id` arrives (or why it did not).
  Pumped pump_until(std::int64_t id, std::chrono::steady_clock::time_point deadline, bool in_turn);
  // A request outside a turn (starting, a new session): its result, or AcpError saying why
  // not (`when_stopped` when the wait was abandoned).
  Json call_outside_turn(std::string_view method, Json params, std::string_view when_stopped);
  void open_session(std::string_view when_stopped);
  void handle(Message& m, bool in_turn);
  void show_chunk(TextChunk& chunk);
  void handle_request(Message& m);
  Json serve(const std::string& method, const Json& params);
  Json ask_permission(const Json& params);
  // On the turn's thread: once a cancel has been sent, the turn is shown cancelled at once
  // (the rest of its answer is dropped); true when it has been.
  bool show_cancelled();
  [[nodiscard]] std::string exit_reason();
  [[nodiscard]] std::string with_stderr(std::string reason) const;
  void notice(std::string_view problem);

  zell::output::OutputManager& m_;
  AcpOptions options_;
  PermissionAsker asker_;
  std::filesystem::path cwd_;

  std::unique_ptr<Launcher> launcher_;
  std::unique_ptr<ChildProcess> child_;
  std::unique_ptr<StderrTail> stderr_;
  std::unique_ptr<Connection> conn_;
  std::unique_ptr<FileService> files_;
  std::unique_ptr<TerminalService> terminals_;
  std::unique_ptr<SessionView> view_;
  std::vector<std::thread> waiters_;  // terminal/wait_for_exit answers in the making

  AgentInfo info_;
  std::string session_id_;
  bool session_ready_ = false;
  bool gone_ = false;  // the agent's output ended

  std::mutex state_mutex_;
  bool turn_running_ = false;
  bool cancel_sent_ = false;
  // Readable once this turn is cancelled or abandoned: an open question waits on it.
  std::unique_ptr<WakePipe> cancel_signal_;
  std::atomic<bool> cancel_requested_{false};  // cancel_sent_, read without the lock
  bool cancel_shown_ = false;                  // the turn's thread only
  std::chrono::steady_clock::time_point cancel_deadline_;
  std::atomic<bool> abandoned_{false};
};

}  // namespace host::acp
