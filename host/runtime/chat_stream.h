#pragma once
// The body of a chat completion answer, read as it arrives: a stream of server-sent events
// (or, from a server that ignored `stream`, one JSON completion), turned into the turn's
// thinking and answer. Anything else (an HTML page, a malformed event, an error event, a
// stream cut short) ends it with a one-line reason.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "host/runtime/sse_parser.h"
#include "host/runtime/think_tags.h"
#include "host/runtime/turn_output.h"

namespace host::runtime {

class ChatStream {
 public:
  // A whole (non-streamed) answer larger than this is refused.
  static constexpr std::size_t kMaxWholeAnswerBytes = 64 * 1024 * 1024;

  // `where` names the endpoint in reasons ("http://host:8080/v1/chat/completions").
  ChatStream(TurnOutput& out, std::string where);

  // Takes the next bytes of the body. False once there is nothing more to read: the stream
  // has ended with [DONE], or it failed (see failure()).
  bool feed(std::string_view bytes);
  // The body has ended as far as it will (closed by the server, or the read stopped): an open
  // <think> block and the thinking are completed, a whole JSON answer is shown, and a stream
  // without [DONE] becomes a failure.
  void finish();

  // The reason the answer failed, once it has.
  [[nodiscard]] const std::optional<std::string>& failure() const noexcept { return failure_; }
  // The answer came whole: [DONE] arrived, or a complete JSON completion.
  [[nodiscard]] bool complete() const noexcept { return complete_; }
  // `usage.completion_tokens`, when the server sent it.
  [[nodiscard]] std::optional<long long> completion_tokens() const noexcept { return tokens_; }

 private:
  enum class Form { unknown, events, whole_json };

  bool event(std::string_view data);
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
  std::optional<std::string> failure_;
};

}  // namespace host::runtime
