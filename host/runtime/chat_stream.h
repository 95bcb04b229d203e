#pragma once
// The body of a chat completion answer, read as it arrives: a stream of server-sent events
// (or, from a server that ignored `stream`, one JSON completion), turned into the turn's
// thinking and answer. Anything else (an HTML page, a malformed event, an error event, a
// stream cut short) ends it with a one-line reason.

#include <cstddef>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/runtime/chat_event.h"
#include "host/runtime/sse_parser.h"
#include "host/runtime/think_tags.h"
#include "host/runtime/turn_output.h"

namespace host::runtime {

// A tool call the model asked for, its pieces joined.
struct ToolCall {
  std::string name;
  std::string arguments;
};

class ChatStream {
 public:
  // The most one answer may hold: its text (answer, thinking and tool calls), and a whole
  // (non-streamed) answer's JSON. Long real answers are a few hundred kilobytes.
  static constexpr std::size_t kMaxAnswerBytes = 16 * 1024 * 1024;

  // `where` names the endpoint in reasons ("http://host:8080/v1/chat/completions").
  // `untagged_may_think`: content may be reasoning closed by a lone </think> (ThinkTagSplitter).
  ChatStream(TurnOutput& out, std::string where, bool untagged_may_think = false);

  // Takes the next bytes of the body. False once there is nothing more to read: the stream
  // has ended with [DONE], or it failed (see failure()).
  bool feed(std::string_view bytes);
  // The body has ended as far as it will (closed by the server, or the read stopped): an open
  // <think> block and the thinking are completed, a whole JSON answer is shown, and a stream
  // without [DONE] becomes a failure.
  void finish();

  // The reason the answer failed, once it has.
  [[nodiscard]] const std::optional<std::string>& failure() const noexcept { return failure_; }
  // The answer came whole: [DONE] arrived (its line break may be missing), the server gave a
  // finish reason before the stream ended, or a complete JSON completion.
  [[nodiscard]] bool complete() const noexcept { return complete_; }
  // Why the model stopped ("stop", "length", "tool_calls", …), when the server said.
  [[nodiscard]] const std::optional<std::string>& finish_reason() const noexcept {
    return finish_reason_;
  }
  [[nodiscard]] std::vector<ToolCall> tool_calls() const;
  // Bytes of text (answer, thinking, tool calls) so far: grows only when the model says more.
  [[nodiscard]] std::size_t text_bytes() const noexcept { return text_bytes_; }
  // Whether content arrived whose reasoning was closed by a lone </think>.
  [[nodiscard]] bool saw_lone_close() const noexcept { return splitter_.saw_lone_close(); }
  // `usage.completion_tokens`, when the server sent it.
  [[nodiscard]] std::optional<long long> completion_tokens() const noexcept { return tokens_; }

 private:
  enum class Form { unknown, events, whole_json };

  bool event(std::string_view data);
  bool error_field(std::string_view value);
  // Shows what a delta adds; false when the answer grew past its limit.
  bool take(const ChatDelta& delta);
  void show_whole_answer();
  void fail(std::string reason);

  TurnOutput& out_;
  ThinkTagSplitter splitter_;
  SseParser parser_;
  std::string where_;
  Form form_ = Form::unknown;
  std::string body_;  // a whole JSON answer, collected until the end
  bool complete_ = false;
  bool finished_ = false;
  std::optional<long long> tokens_;
  std::optional<std::string> finish_reason_;
  std::map<long long, ToolCall> tool_calls_;
  std::size_t text_bytes_ = 0;
  std::optional<std::string> failure_;
};

}  // namespace host::runtime
