#include "host/runtime/http_agent.h"

#include <fmt/format.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <functional>

#include "host/config/config_file.h"
#include "host/runtime/base_url.h"
#include "host/runtime/chat_stream.h"
#include "host/runtime/http_transfer.h"
#include "host/runtime/request_watch.h"
#include "host/runtime/server_message.h"
#include "host/runtime/turn_output.h"
#include "unicode/utf8.h"
#include "zell/errors.h"

namespace host::runtime {

// What a request got back.
struct Answered {
  int status = 0;  // 0: no answer arrived
  HttpError error = HttpError::none;
  std::string detail;      // the client's words for HttpError::other
  std::string error_body;  // the start of a body that came with a status other than 200
};

namespace {

constexpr std::string_view kChatPath = "/v1/chat/completions";
constexpr std::string_view kModelsPath = "/v1/models";
constexpr std::size_t kMaxErrorBodyBytes = 64 * 1024;
constexpr std::size_t kMaxModelsBodyBytes = 1024 * 1024;

// Seconds from settings made in code (the file's checks do not apply) as a clock duration
// that stays in range.
std::chrono::steady_clock::duration seconds(double s, double fallback) {
  const double checked = std::isfinite(s) && s > 0 ? std::min(s, config::kMaxSeconds) : fallback;
  return std::chrono::duration_cast<std::chrono::steady_clock::duration>(
      std::chrono::duration<double>(checked));
}

// Sends `request` under the watch. The body of a 200 answer goes to `on_body` (false stops
// reading); any other answer's body is kept, up to a limit, for its message. An exception
// thrown by `on_body` stops the request and is kept in `pending`.
Answered send_watched(HttpTransfer& transfer, RequestWatch& watch, const HttpRequest& request,
                      const std::function<bool(std::string_view)>& on_body,
                      std::exception_ptr& pending) {
  Answered answer;
  const auto on_status = [&](int status) {
    watch.touch();
    answer.status = status;
    return !watch.cancelled();
  };
  const auto receive = [&](std::string_view bytes) {
    watch.touch();
    if (watch.cancelled()) return false;
    if (answer.status != 200) {
      answer.error_body.append(bytes.substr(0, kMaxErrorBodyBytes - answer.error_body.size()));
      return answer.error_body.size() < kMaxErrorBodyBytes;
    }
    try {
      return on_body(bytes);
    } catch (...) {
      pending = std::current_exception();
      return false;
    }
  };
  watch.touch();
  watch.touch_text();
  const HttpOutcome outcome = transfer.run(request, on_status, receive);
  answer.error = outcome.error;
  answer.detail = outcome.detail;
  return answer;
}

std::string http_reason(const Answered& answer, const std::string& url) {
  if (auto message = server_message(answer.error_body)) {
    return fmt::format("HTTP {} from {}: {}", answer.status, url, *message);
  }
  return fmt::format("HTTP {} from {}", answer.status, url);
}

// Why a request that got no answer failed.
std::string transport_reason(const Answered& answer, const BaseUrl& base, const std::string& url,
                             double connect_timeout_s) {
  switch (answer.error) {
    case HttpError::invalid_url:
      return fmt::format("invalid base_url {}", base.url());
    case HttpError::refused:
      return fmt::format("connection refused at {}", base.url());
    case HttpError::connect_timeout:
      return fmt::format("timed out after {:g} s connecting to {}", connect_timeout_s, base.url());
    case HttpError::closed:
      return fmt::format("{} closed the connection without an answer", url);
    case HttpError::send:
      return fmt::format("could not send the request to {}", url);
    case HttpError::headers_too_large:
      return fmt::format("the headers of the answer from {} are larger than {} KB", url,
                         HttpTransfer::kMaxHeaderBytes >> 10);
    case HttpError::other:
      return fmt::format("no valid answer from {} ({})", url, answer.detail);
    default:
      return fmt::format("no valid answer from {}", url);
  }
}

}  // namespace

HttpAgentOptions http_agent_options(const config::HostConfig& config) {
  HttpAgentOptions options;
  options.base_url = config.runtime.base_url;
  options.model = config.runtime.model;
  options.system_prompt = config.agent.system_prompt;
  options.mode = config.zell.runtime.laptop_26b_runtime_mode;
  options.connect_timeout_s = config.runtime.timeout_s;
  options.idle_timeout_s = config.agent.idle_timeout_s;
  return options;
}

// One turn's request: what the turn shows, and how it ended.
struct HttpAgent::Exchange {
  explicit Exchange(zell::output::OutputManager& m) : out(m) {}

  // Ends the turn with `reason`; false, for the steps that stop there.
  bool fail(std::string reason) {
    result = {TurnEnd::error, std::move(reason), std::nullopt};
    return false;
  }
  [[nodiscard]] double connect_s() const { return std::chrono::duration<double>(connect).count(); }
  [[nodiscard]] std::optional<TurnResult> watch_result(RequestWatch::Fired fired) const;
  [[nodiscard]] HttpRequest request(std::string_view path) const;

  TurnOutput out;
  TurnResult result;
  std::vector<ToolCall> tool_calls;
  std::string finish_reason;
  // The endpoint, its time limits, and the client shared by the turn's requests.
  std::optional<BaseUrl> base;
  std::chrono::steady_clock::duration idle{};
  std::chrono::steady_clock::duration connect{};
  HttpTransfer transfer;
  std::exception_ptr pending;  // thrown by the output while the body was read
};

HttpAgent::HttpAgent(zell::output::OutputManager& manager, HttpAgentOptions options)
    : m_(manager), options_(std::move(options)) {
  if (options_.model && !options_.model->empty()) model_ = options_.model;
}

HttpAgent::~HttpAgent() = default;

bool HttpAgent::cancel() {
  const std::lock_guard lock(cancel_mutex_);
  if (!turn_running_) return false;
  cancel_requested_ = true;
  if (watch_ != nullptr) watch_->cancel();
  return true;
}

TurnResult HttpAgent::run_turn(std::string_view prompt) {
  {
    const std::lock_guard lock(cancel_mutex_);
    turn_running_ = true;
    cancel_requested_ = false;
  }
  struct TurnOver {
    HttpAgent& agent;
    ~TurnOver() {
      const std::lock_guard lock(agent.cancel_mutex_);
      agent.turn_running_ = false;
    }
  } turn_over{*this};

  messages_.push_back({"user", std::string(prompt)});
  Exchange x(m_);
  try {
    m_.start_thinking(true);
    exchange(x);
  } catch (const zell::Interrupt&) {
    x.result = {TurnEnd::interrupted, "Interrupted", std::nullopt};
  } catch (...) {
    messages_.pop_back();
    throw;
  }

  return outcome(x);
}

TurnResult HttpAgent::outcome(Exchange& x) {
  TurnResult& result = x.result;
  // Whatever ends the turn, the conversation keeps the answer as far as the user saw it, so
  // that the next request means what the screen shows; with nothing shown the prompt goes too,
  // so that user and assistant messages still alternate.
  if (result.end != TurnEnd::done && x.out.shown_answer().empty()) {
    messages_.pop_back();
  } else {
    messages_.push_back({"assistant", x.out.shown_answer()});
  }
  switch (result.end) {
    case TurnEnd::done:
      show_unrun_tool_calls(x.tool_calls);
      if (x.finish_reason == "length") {
        // The answer's last line may be open: the notice starts a line of its own.
        m_.print_info("\n  The answer stops here: the model reached its length limit.");
      }
      if (result.completion_tokens) m_.state.tokens = *result.completion_tokens;
      m_.done();
      break;
    case TurnEnd::interrupted:
      result.reason = "Interrupted";
      m_.set_error(result.reason);
      break;
    case TurnEnd::error:
      m_.set_error(result.reason);
      break;
  }
  return result;
}

void HttpAgent::show_unrun_tool_calls(const std::vector<ToolCall>& calls) {
  // No tools are offered, yet some models ask for one anyway: the user sees what was asked,
  // and that nothing ran.
  constexpr std::size_t kHeaderArgsChars = 80;  // what the tool header shows of the arguments
  for (const ToolCall& call : calls) {
    const int index = m_.log_tool(call.name.empty() ? "(unnamed tool)" : call.name, call.arguments);
    std::string note = "not run: this agent offers the model no tools";
    if (unicode::cp_count(call.arguments) > kHeaderArgsChars) note += "\n" + call.arguments;
    m_.tool_result(note, /*error=*/true, index);
  }
}

void HttpAgent::exchange(Exchange& x) {
  if (!set_up_endpoint(x)) return;
  RequestWatch watch([&x] { x.transfer.stop(); }, x.idle);
  // cancel() reaches the watch only while it is registered here.
  struct Registration {
    HttpAgent& agent;
    Registration(HttpAgent& a, RequestWatch& w) : agent(a) {
      const std::lock_guard lock(agent.cancel_mutex_);
      agent.watch_ = &w;
      if (agent.cancel_requested_) w.cancel();
    }
    ~Registration() {
      const std::lock_guard lock(agent.cancel_mutex_);
      agent.watch_ = nullptr;
    }
  } registration(*this, watch);

  if (!model_ && !discover_model(x, watch)) return;
  ChatStream stream(x.out, x.base->url(kChatPath), untagged_may_think_ && options_.mode != "turbo");
  const Answered answer = post_chat(x, watch, stream);
  conclude(x, watch.finish(), answer, stream);
}

bool HttpAgent::set_up_endpoint(Exchange& x) {
  x.base = parse_base_url(options_.base_url);
  if (!x.base) {
    x.fail(fmt::format("invalid base_url {}", options_.base_url));
    return false;
  }
  // A base_url written for other OpenAI clients often ends in /v1 already.
  if (x.base->path_prefix.ends_with("/v1"))
    x.base->path_prefix.resize(x.base->path_prefix.size() - 3);
  x.idle = seconds(options_.idle_timeout_s, config::kDefaultIdleTimeoutS);
  x.connect = seconds(options_.connect_timeout_s, config::kDefaultTimeoutS);
  return true;
}

std::optional<TurnResult> HttpAgent::Exchange::watch_result(RequestWatch::Fired fired) const {
  const double idle_s = std::chrono::duration<double>(idle).count();
  switch (fired) {
    case RequestWatch::Fired::cancelled:
      return TurnResult{TurnEnd::interrupted, "Interrupted", std::nullopt};
    case RequestWatch::Fired::idle:
      return TurnResult{TurnEnd::error,
                        fmt::format("{} sent nothing for {:g} s", base->url(), idle_s),
                        std::nullopt};
    case RequestWatch::Fired::stalled:
      return TurnResult{TurnEnd::error,
                        fmt::format("{} sent no answer text for {:g} s", base->url(), idle_s),
                        std::nullopt};
    case RequestWatch::Fired::no:
      break;
  }
  return std::nullopt;
}

HttpRequest HttpAgent::Exchange::request(std::string_view path) const {
  HttpRequest request;
  request.url = base->url(path);
  request.connect_timeout = std::chrono::duration_cast<std::chrono::milliseconds>(connect);
  return request;
}

bool HttpAgent::discover_model(Exchange& x, RequestWatch& watch) {
  HttpRequest request = x.request(kModelsPath);
  request.headers = {"Accept: application/json"};
  std::string body;
  const Answered answer = send_watched(
      x.transfer, watch, request,
      [&](std::string_view bytes) {
        watch.touch_text();  // the list is what this request waits for
        body.append(bytes.substr(0, kMaxModelsBodyBytes - body.size()));
        return body.size() < kMaxModelsBodyBytes;
      },
      x.pending);
  if (auto r = x.watch_result(watch.fired())) {
    x.result = *r;
    return false;
  }
  if (answer.status == 0)
    return x.fail(transport_reason(answer, *x.base, request.url, x.connect_s()));
  if (answer.status != 200) return x.fail(http_reason(answer, request.url));
  model_ = first_model_id(body);
  if (!model_) {
    return x.fail(
        fmt::format("{} lists no model: set model in the [runtime] section", request.url));
  }
  return true;
}

Answered HttpAgent::post_chat(Exchange& x, RequestWatch& watch, ChatStream& stream) {
  const auto post = [&] {
    HttpRequest request = x.request(kChatPath);
    request.headers = {"Accept: text/event-stream", "Accept-Encoding: identity",
                       "Content-Type: application/json"};
    request.post_body = chat_request_body(*model_, options_.system_prompt, messages_, options_.mode,
                                          send_reasoning_effort_);
    return send_watched(
        x.transfer, watch, request,
        [&](std::string_view bytes) {
          const std::size_t before = stream.text_bytes();
          const bool more = stream.feed(bytes);
          if (stream.text_bytes() != before) watch.touch_text();
          return more;
        },
        x.pending);
  };
  Answered answer = post();
  // Some servers check `reasoning_effort` against a list of their own and refuse the request;
  // asking again without it (chat_template_kwargs still says what the mode wants) is better
  // than a mode that never works with them.
  if ((answer.status == 400 || answer.status == 422) && send_reasoning_effort_ &&
      answer.error_body.find("reasoning_effort") != std::string::npos &&
      watch.fired() == RequestWatch::Fired::no) {
    send_reasoning_effort_ = false;
    answer = post();
  }
  return answer;
}

void HttpAgent::conclude(Exchange& x, RequestWatch::Fired fired, const Answered& answer,
                         ChatStream& stream) {
  if (x.pending) {
    try {
      std::rethrow_exception(x.pending);
    } catch (const zell::Interrupt&) {
      x.result = {TurnEnd::interrupted, "Interrupted", std::nullopt};
      return;
    }
  }
  const std::string url = x.base->url(kChatPath);
  if (answer.status == 200) stream.finish();  // completes the thinking, whatever happens next
  x.tool_calls = stream.tool_calls();
  x.finish_reason = stream.finish_reason().value_or("");
  if (stream.saw_lone_close()) untagged_may_think_ = true;
  if (answer.status == 200 && stream.complete()) {
    x.result = {TurnEnd::done, "", stream.completion_tokens()};
    // A model that answered without tags and without a lone </think> does not use a template
    // that opens the thinking in the prompt: later answers stream at once.
    if (!stream.saw_lone_close()) untagged_may_think_ = false;
    return;
  }
  if (auto r = x.watch_result(fired)) return void(x.result = *r);
  if (answer.status == 0)
    return void(x.fail(transport_reason(answer, *x.base, url, x.connect_s())));
  if (answer.status != 200) return void(x.fail(http_reason(answer, url)));
  x.fail(stream.failure().value_or(fmt::format("the stream from {} ended early", url)));
}

}  // namespace host::runtime
