#include "host/acp/acp_agent.h"

#include <fmt/format.h>

#include <algorithm>

#include "host/acp/child_process.h"
#include "host/acp/file_service.h"
#include "host/acp/launcher.h"
#include "host/acp/prompt_blocks.h"
#include "host/acp/stderr_tail.h"
#include "host/acp/terminal_service.h"
#include "zell/errors.h"

namespace host::acp {
namespace {

using Clock = std::chrono::steady_clock;

// Updates an agent sends right after the prompt's result still belong to the turn.
constexpr std::chrono::milliseconds kLateUpdates{25};
// How often the output of a running terminal shown live is looked at.
constexpr std::chrono::milliseconds kLiveOutputTick{100};
// Text chunks already waiting behind one are shown with it, up to this many bytes at once.
constexpr std::size_t kJoinedChunkBytes = 64 * 1024;

class MethodNotFound : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

std::string string_param(const Json& params, std::string_view key) {
  const auto it = params.find(key);
  if (it == params.end() || !it->is_string()) {
    throw RefusedRequest(fmt::format("the request has no \"{}\" text", key));
  }
  return it->get<std::string>();
}

template <typename T>
std::optional<T> optional_number(const Json& params, std::string_view key) {
  const auto it = params.find(key);
  if (it == params.end() || !it->is_number_integer()) return std::nullopt;
  return it->get<T>();
}

Json exit_json(const ExitStatus& s) {
  Json j = Json::object();
  j["exitCode"] = s.code ? Json(*s.code) : Json(nullptr);
  j["signal"] = s.signal ? Json(signal_name(*s.signal)) : Json(nullptr);
  return j;
}

std::string stop_line(std::string_view reason) {
  if (reason == "max_tokens") return "The agent stopped: it reached its token limit";
  if (reason == "max_turn_requests") {
    return "The agent stopped: it reached its limit of model requests for one turn";
  }
  if (reason == "refusal") return "The agent refused to continue";
  return fmt::format("The agent stopped ({})", reason);
}

}  // namespace

AcpAgent::AcpAgent(zell::output::OutputManager& manager, AcpOptions options, PermissionAsker asker)
    : m_(manager), options_(std::move(options)), asker_(std::move(asker)) {}

AcpAgent::~AcpAgent() {
  stop();
}

void AcpAgent::stop() {
  abandon();
  terminals_.reset();  // kills every terminal, which ends the waiters below
  for (std::thread& t : waiters_) t.join();
  waiters_.clear();
  {
    const std::lock_guard lock(state_mutex_);
    conn_.reset();
  }
  if (child_) {
    child_->close_stdin();  // an agent that ends on end of input can do so in the grace period
    child_->terminate(options_.exit_grace);
  }
  stderr_.reset();
  child_.reset();
  launcher_.reset();
  session_ready_ = false;
}

void AcpAgent::reset() {
  stop();
  gone_ = false;
  abandoned_ = false;
}

int AcpAgent::pid() const {
  return child_ ? child_->pid() : -1;
}

std::vector<std::string> AcpAgent::stderr_lines() const {
  return stderr_ ? stderr_->lines() : std::vector<std::string>{};
}

const std::vector<AvailableCommand>& AcpAgent::available_commands() const {
  static const std::vector<AvailableCommand> none;
  return view_ ? view_->available_commands() : none;
}

std::string AcpAgent::with_stderr(std::string reason) const {
  if (stderr_) stderr_->settle(std::chrono::milliseconds(100));
  const std::vector<std::string> lines = stderr_lines();
  if (lines.empty()) return reason;
  reason += "; the last lines of its standard error:";
  for (const std::string& line : lines) reason += "\n  " + line;
  return reason;
}

std::string AcpAgent::exit_reason() {
  gone_ = true;
  std::optional<ExitStatus> status;
  if (child_) status = child_->wait_for(std::chrono::milliseconds(500));
  const std::string how = status ? fmt::format("the agent exited ({})", describe(*status))
                                 : std::string("the agent closed its output");
  return with_stderr(how);
}

void AcpAgent::start() {
  if (session_ready_) return;
  if (gone_) throw AcpError("the agent is not running");
  if (options_.command.empty()) throw AcpError("no agent command given");
  std::error_code ec;
  cwd_ = options_.cwd.empty() ? std::filesystem::current_path(ec)
                              : std::filesystem::absolute(options_.cwd, ec);
  try {
    files_ = std::make_unique<FileService>(cwd_);
  } catch (const std::filesystem::filesystem_error& e) {
    throw AcpError(fmt::format("the agent's folder {}: {}", cwd_.string(), e.code().message()));
  }
  cwd_ = files_->root();

  launcher_ = std::make_unique<Launcher>();
  SpawnOptions spawn;
  spawn.argv = options_.command;
  spawn.cwd = cwd_.string();
  spawn.env = options_.env;
  try {
    child_ = launcher_->spawn(spawn);
  } catch (const SpawnError& e) {
    throw AcpError(fmt::format("cannot start the agent: {}", e.what()));
  }
  stderr_ = std::make_unique<StderrTail>(child_->stderr_fd());
  {
    const std::lock_guard lock(state_mutex_);
    conn_ = std::make_unique<Connection>(child_->stdin_fd(), child_->stdout_fd());
  }
  terminals_ = std::make_unique<TerminalService>(*launcher_, *files_);
  view_ = std::make_unique<SessionView>(m_, cwd_, terminals_.get(), options_.live_entries);

  const auto call = [&](std::string_view method, Json params) {
    return call_outside_turn(method, std::move(params), "the agent was stopped while starting");
  };

  const Json init =
      call("initialize",
           {{"protocolVersion", kProtocolVersion},
            {"clientCapabilities",
             {{"fs", {{"readTextFile", true}, {"writeTextFile", true}}}, {"terminal", true}}},
            {"clientInfo", {{"name", "vellumine"}, {"version", "0.1.0"}}}});
  if (!init.is_object()) {
    throw AcpError(with_stderr("the agent's answer to initialize is not an object"));
  }
  info_.protocol_version = init.value("protocolVersion", 0);
  if (info_.protocol_version != kProtocolVersion) {
    throw AcpError(
        with_stderr(fmt::format("the agent speaks protocol version {}; this client speaks {}",
                                info_.protocol_version, kProtocolVersion)));
  }
  if (const auto ai = init.find("agentInfo"); ai != init.end() && ai->is_object()) {
    info_.name = ai->value("name", "");
    info_.version = ai->value("version", "");
  }

  open_session("the agent was stopped while starting");
  session_ready_ = true;
}

Json AcpAgent::call_outside_turn(std::string_view method, Json params,
                                 std::string_view when_stopped) {
  std::int64_t id = 0;
  if (!conn_->request(method, std::move(params), id)) throw AcpError(exit_reason());
  Pumped p = pump_until(id, Clock::now() + options_.start_timeout, false);
  switch (p.how) {
    case Wait::response:
      break;
    case Wait::closed:
      throw AcpError(exit_reason());
    case Wait::abandoned:
      throw AcpError(std::string(when_stopped));
    case Wait::timeout:
      throw AcpError(with_stderr(fmt::format("the agent did not answer {} within {:g} s", method,
                                             options_.start_timeout.count() / 1000.0)));
  }
  if (p.response.error_code) {
    throw AcpError(
        with_stderr(fmt::format("the agent refused {}: {}", method, p.response.error_message)));
  }
  return std::move(p.response.result);
}

void AcpAgent::open_session(std::string_view when_stopped) {
  const Json session = call_outside_turn(
      "session/new", {{"cwd", cwd_.string()}, {"mcpServers", Json::array()}}, when_stopped);
  if (!session.is_object() || !session.contains("sessionId") || !session["sessionId"].is_string()) {
    throw AcpError(with_stderr("the agent's answer to session/new has no session id"));
  }
  session_id_ = session["sessionId"].get<std::string>();
}

AcpAgent::Pumped AcpAgent::pump_until(std::int64_t id, Clock::time_point deadline, bool in_turn) {
  for (;;) {
    if (abandoned_) return {Wait::abandoned, {}};
    if (in_turn) show_cancelled();
    Clock::time_point until = deadline;
    {
      const std::lock_guard lock(state_mutex_);
      if (in_turn && cancel_sent_) until = std::min(until, cancel_deadline_);
    }
    // While a terminal shown live may grow, its output is looked at between messages.
    const bool watching = in_turn && view_->watching_terminals();
    std::optional<Message> m =
        conn_->next(watching ? std::min(until, Clock::now() + kLiveOutputTick) : until);
    if (!m) {
      if (abandoned_) return {Wait::abandoned, {}};
      if (Clock::now() >= until) return {Wait::timeout, {}};
      if (watching) view_->refresh_terminals();
      continue;  // woken by a cancel (the deadline changed), or time to look at the terminals
    }
    if (m->kind == Message::Kind::closed) return {Wait::closed, {}};
    if (m->kind == Message::Kind::response) {
      if (m->id.is_number_integer() && m->id.get<std::int64_t>() == id) {
        return {Wait::response, std::move(*m)};
      }
      continue;  // an answer to a request given up on
    }
    if (in_turn) show_cancelled();  // what came after a cancel is not shown as the answer
    handle(*m, in_turn);
  }
}

void AcpAgent::notice(std::string_view problem) {
  m_.print_problem(problem);
}

void AcpAgent::handle(Message& m, bool in_turn) {
  (void)in_turn;
  switch (m.kind) {
    case Message::Kind::malformed:
      notice("the agent sent " + m.problem);
      break;
    case Message::Kind::notification:
      if (m.chunk) {
        show_chunk(*m.chunk);
      } else if (m.method == "session/update" && m.params.is_object()) {
        const auto update = m.params.find("update");
        if (update != m.params.end()) view_->apply(*update);
      }
      break;  // other notifications (extensions) say nothing to us
    case Message::Kind::request:
      handle_request(m);
      break;
    default:
      break;
  }
}

void AcpAgent::show_chunk(TextChunk& chunk) {
  // An agent that writes faster than the screen takes its text finds the chunks it sent meanwhile
  // queued here: they go out as one piece, which costs what one costs downstream.
  std::string text = std::move(chunk.text);
  // Joining stops at a cancel, as handling the chunks one by one would.
  while (text.size() < kJoinedChunkBytes && !cancel_requested_.load(std::memory_order_acquire)) {
    std::optional<TextChunk> more = conn_->next_chunk(chunk.kind);
    if (!more) break;
    text += more->text;
  }
  view_->apply_chunk(chunk.kind, text);
}

void AcpAgent::handle_request(Message& m) {
  try {
    if (m.method == "session/request_permission") {
      conn_->respond(m.id, ask_permission(m.params));
    } else if (m.method == "terminal/wait_for_exit") {
      // Answered when the command ends; the session goes on meanwhile.
      auto wait = terminals_->exit_waiter(string_param(m.params, "terminalId"));
      waiters_.emplace_back(
          [this, id = m.id, wait = std::move(wait)] { conn_->respond(id, exit_json(wait())); });
    } else {
      conn_->respond(m.id, serve(m.method, m.params));
    }
  } catch (const MethodNotFound& e) {
    conn_->respond_error(m.id, rpc_error::kMethodNotFound, e.what());
  } catch (const RefusedRequest& e) {
    conn_->respond_error(m.id, rpc_error::kInvalidParams, e.what());
  } catch (const Json::exception& e) {
    conn_->respond_error(m.id, rpc_error::kInvalidParams, e.what());
  }
}

Json AcpAgent::serve(const std::string& method, const Json& params) {
  if (!params.is_object()) throw RefusedRequest("the request's params are not an object");
  if (method == "fs/read_text_file") {
    return {{"content",
             files_->read(string_param(params, "path"), optional_number<long long>(params, "line"),
                          optional_number<long long>(params, "limit"))}};
  }
  if (method == "fs/write_text_file") {
    const std::string path = string_param(params, "path");
    const std::string content = string_param(params, "content");
    const FileService::Written w = files_->write(path, content);
    const std::string shown = w.path.lexically_relative(cwd_).string();
    view_->show_write(w.path, shown, w.before, content);
    return Json::object();
  }
  if (method == "terminal/create") {
    TerminalRequest r;
    r.command = string_param(params, "command");
    if (const auto args = params.find("args"); args != params.end() && args->is_array()) {
      for (const Json& a : *args) r.args.push_back(a.get<std::string>());
    }
    if (const auto env = params.find("env"); env != params.end() && env->is_array()) {
      for (const Json& e : *env)
        r.env.emplace_back(string_param(e, "name"), string_param(e, "value"));
    }
    if (const auto cwd = params.find("cwd"); cwd != params.end() && cwd->is_string()) {
      r.cwd = cwd->get<std::string>();
    }
    r.output_byte_limit = optional_number<unsigned long long>(params, "outputByteLimit");
    return {{"terminalId", terminals_->create(r)}};
  }
  if (method == "terminal/output") {
    const TerminalOutput out = terminals_->output(string_param(params, "terminalId"));
    return {{"output", out.output},
            {"truncated", out.truncated},
            {"exitStatus", out.exit ? exit_json(*out.exit) : Json(nullptr)}};
  }
  if (method == "terminal/kill") {
    terminals_->kill(string_param(params, "terminalId"));
    return Json::object();
  }
  if (method == "terminal/release") {
    terminals_->release(string_param(params, "terminalId"));
    return Json::object();
  }
  throw MethodNotFound(fmt::format("the client does not offer {}", method));
}

Json AcpAgent::ask_permission(const Json& params) {
  const auto tool_call = params.find("toolCall");
  if (tool_call == params.end() || !tool_call->is_object()) {
    throw RefusedRequest("the permission request names no tool call");
  }
  ToolCallState& tool = view_->tool_for_permission(*tool_call);
  PermissionQuestion q = permission_question(tool, params.value("options", Json::array()), cwd_);
  {
    const std::lock_guard lock(state_mutex_);
    if (cancel_signal_) q.cancelled_fd = cancel_signal_->read_fd();
  }
  const auto cancelled = [this] {
    const std::lock_guard lock(state_mutex_);
    return cancel_sent_ || abandoned_;
  };
  if (cancelled()) return permission_outcome(std::nullopt);
  PermissionAsker asker = asker_;
  if (!asker) {
    if (auto approve = m_.approval_callback()) {
      asker = yes_no_asker(std::move(approve));
    } else {
      asker = [](const PermissionQuestion& question) {
        return option_of_kind(question, "reject_once");
      };
    }
  }
  std::optional<std::string> choice = asker(q);
  if (cancelled()) choice.reset();  // a turn cancelled while asking answers "cancelled"
  return permission_outcome(choice);
}

bool AcpAgent::show_cancelled() {
  if (cancel_shown_) return true;
  if (!cancel_requested_.load(std::memory_order_acquire)) return false;
  cancel_shown_ = true;
  view_->cancel_turn();
  m_.set_error("Cancelled");
  return true;
}

bool AcpAgent::cancel() {
  const std::lock_guard lock(state_mutex_);
  if (!turn_running_ || cancel_sent_ || !conn_) return false;
  cancel_sent_ = true;
  // Before the agent can hear of it: whatever it sends after the cancel finds it set.
  cancel_requested_.store(true, std::memory_order_release);
  cancel_deadline_ = Clock::now() + options_.cancel_grace;
  conn_->notify("session/cancel", {{"sessionId", session_id_}});
  conn_->wake();
  if (cancel_signal_) cancel_signal_->wake();
  return true;
}

void AcpAgent::abandon() {
  const std::lock_guard lock(state_mutex_);
  abandoned_ = true;
  if (conn_) conn_->wake();
  if (cancel_signal_) cancel_signal_->wake();
}

TurnResult AcpAgent::run_turn(std::string_view prompt) {
  m_.start_thinking(true);
  const auto fail = [this](TurnEnd end, std::string reason) {
    m_.set_error(reason);
    return TurnResult{end, std::move(reason), std::nullopt};
  };
  if (abandoned_.exchange(false)) return fail(TurnEnd::interrupted, "Interrupted");
  if (gone_) return fail(TurnEnd::error, with_stderr("the agent is not running"));
  if (!session_ready_) {
    try {
      start();
    } catch (const AcpError& e) {
      // A start the user stopped leaves no agent behind, and the next turn starts one anew.
      if (abandoned_) reset();
      return fail(TurnEnd::error, e.what());
    }
  }
  {
    const std::lock_guard lock(state_mutex_);
    turn_running_ = true;
    cancel_sent_ = false;
    cancel_requested_ = false;
    cancel_signal_ = std::make_unique<WakePipe>();
  }
  cancel_shown_ = false;
  struct TurnOver {
    AcpAgent& agent;
    ~TurnOver() {
      const std::lock_guard lock(agent.state_mutex_);
      agent.turn_running_ = false;
      agent.abandoned_ = false;  // it ended this turn only
    }
  } turn_over{*this};

  view_->begin_turn();
  Pumped p;
  std::int64_t id = 0;
  try {
    const Json blocks = prompt_blocks(prompt, cwd_);
    if (conn_->request("session/prompt", {{"sessionId", session_id_}, {"prompt", blocks}}, id)) {
      p = pump_until(id, Clock::now() + std::chrono::hours(24 * 365), true);
    }
    if (p.how == Wait::response) {
      // What the agent sent right behind its answer still belongs to this turn.
      show_cancelled();
      const auto until = Clock::now() + kLateUpdates;
      while (std::optional<Message> late = conn_->next(until)) {
        if (late->kind == Message::Kind::closed) break;
        if (late->kind != Message::Kind::response) handle(*late, true);
      }
    }
    view_->end_turn();
  } catch (const zell::Interrupt&) {
    cancel();
    return fail(TurnEnd::interrupted, "Interrupted");
  }

  // A turn the user cancelled was shown so at once: whatever the agent's answer, it ends
  // quietly, unless something new is to be said (no confirmation, an exit, an error).
  const bool cancelled = show_cancelled();
  const auto quiet = [](std::string reason) {
    return TurnResult{TurnEnd::interrupted, std::move(reason), std::nullopt};
  };
  switch (p.how) {
    case Wait::abandoned:
      return cancelled ? quiet("Interrupted") : fail(TurnEnd::interrupted, "Interrupted");
    case Wait::timeout:
      return fail(TurnEnd::interrupted, "Cancelled (the agent did not confirm it)");
    case Wait::closed:
      return fail(TurnEnd::error, exit_reason());
    case Wait::response:
      break;
  }
  if (p.response.error_code) {
    return fail(TurnEnd::error, fmt::format("the agent could not answer: {} ({})",
                                            p.response.error_message, *p.response.error_code));
  }
  if (cancelled) return quiet("Cancelled");
  const std::string reason =
      p.response.result.is_object() ? p.response.result.value("stopReason", "") : "";
  if (reason == "cancelled") return fail(TurnEnd::interrupted, "Cancelled");
  if (reason != "end_turn" && !reason.empty()) return fail(TurnEnd::error, stop_line(reason));
  const std::optional<long long> tokens = view_->tokens();
  if (tokens) m_.state.tokens = *tokens;
  m_.done();
  return {TurnEnd::done, "", tokens};
}

}  // namespace host::acp

namespace host::acp {

void AcpAgent::new_session() {
  if (!session_ready_) return;  // the first turn opens one
  // An abandon stops this wait only, as it ends one turn: the conversation goes on as it was.
  struct WaitOver {
    AcpAgent& agent;
    ~WaitOver() { agent.abandoned_ = false; }
  } wait_over{*this};
  open_session("stopped before the agent answered");
}

}  // namespace host::acp
