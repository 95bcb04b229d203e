#pragma once
// The agent that talks to a local OpenAI-compatible model server (llama.cpp's server, vLLM,
// Ollama, LM Studio): each turn sends the conversation so far to POST /v1/chat/completions and
// shows the streamed answer through the output manager as it arrives, the model's reasoning as
// thinking. Runs on the caller's thread (the agent worker); cancel() may come from any thread.

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/config/host_config.h"
#include "host/runtime/chat_request.h"
#include "host/runtime/chat_stream.h"
#include "host/runtime/request_watch.h"
#include "zell/output/output_manager.h"

namespace host::runtime {

struct Answered;

struct HttpAgentOptions {
  std::string base_url = config::kDefaultBaseUrl;
  std::optional<std::string> model;  // else the first id of GET /v1/models
  std::optional<std::string> system_prompt;
  std::string mode;  // "turbo-think", "turbo", or "" to ask for neither
  double connect_timeout_s = config::kDefaultTimeoutS;
  double idle_timeout_s = config::kDefaultIdleTimeoutS;
};

// The options a loaded configuration gives: [runtime] base_url, model, timeout_s (for
// connecting) and the mode; [agent] system_prompt and idle_timeout_s.
[[nodiscard]] HttpAgentOptions http_agent_options(const config::HostConfig& config);

enum class TurnEnd {
  done,         // the answer came whole; the manager's done() closed the turn
  error,        // set_error(reason) closed it
  interrupted,  // cancelled: set_error("Interrupted") closed it
};

struct TurnResult {
  TurnEnd end = TurnEnd::done;
  std::string reason;                          // the error line, or "Interrupted"
  std::optional<long long> completion_tokens;  // the server's count, when it sent one
};

class HttpAgent {
 public:
  HttpAgent(zell::output::OutputManager& manager, HttpAgentOptions options);
  ~HttpAgent();
  HttpAgent(const HttpAgent&) = delete;
  HttpAgent& operator=(const HttpAgent&) = delete;

  // One turn for the user's `prompt`: start_thinking, then thinking and answer as they stream,
  // then done() (the turn's token count is the server's `usage.completion_tokens` when it sent
  // one) or set_error() with a one-line reason. Tool calls the model asks for are shown as not
  // run (no tools are offered), and an answer cut by the model's length limit gets a notice.
  // The conversation gains the prompt and the answer as far as it was shown, however the turn
  // ended: a failed or cancelled turn keeps the partial answer the user read, as the next
  // request should mean what the screen shows (with nothing shown, the prompt goes too). Errors of
  // the output itself (a closed standard output) and zell::ExitRequest reach the caller after the
  // request is closed; zell::Interrupt raised by an event callback ends the turn as a cancel does.
  TurnResult run_turn(std::string_view prompt);

  // From any thread: aborts the running turn's request at once (the connection is closed, not
  // drained) and makes the turn end with "Interrupted". Returns false when no turn was running.
  bool cancel();

  // Between turns only (on the thread that runs them).
  [[nodiscard]] const std::vector<ChatMessage>& conversation() const noexcept { return messages_; }
  void set_mode(std::string mode) { options_.mode = std::move(mode); }
  // The next turn starts a new conversation.
  void forget_conversation() { messages_.clear(); }
  // The model asked for: the configured one, or the one the server listed first.
  [[nodiscard]] const std::optional<std::string>& model() const noexcept { return model_; }

 private:
  struct Exchange;

  // A turn's request: the endpoint set-up, the model (asked of the server once), the post of
  // the conversation, and what its answer amounts to.
  void exchange(Exchange& x);
  bool set_up_endpoint(Exchange& x);
  bool discover_model(Exchange& x, RequestWatch& watch);
  Answered post_chat(Exchange& x, RequestWatch& watch, ChatStream& stream);
  void conclude(Exchange& x, RequestWatch::Fired fired, const Answered& answer, ChatStream& stream);
  TurnResult outcome(Exchange& x);
  void show_unrun_tool_calls(const std::vector<ToolCall>& calls);

  zell::output::OutputManager& m_;
  HttpAgentOptions options_;
  std::optional<std::string> model_;
  bool send_reasoning_effort_ = true;  // until a server refuses the field
  // Until the model has answered without tags: its content may open in the middle of reasoning
  // whose <think> the template put into the prompt (see ThinkTagSplitter).
  bool untagged_may_think_ = true;
  std::vector<ChatMessage> messages_;

  // What cancel() reaches: whether a turn runs, and the watch of its request while one is open.
  std::mutex cancel_mutex_;
  bool turn_running_ = false;
  bool cancel_requested_ = false;
  RequestWatch* watch_ = nullptr;
};

}  // namespace host::runtime
