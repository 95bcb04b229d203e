#include "host/runtime/chat_stream.h"

#include <fmt/format.h>

#include <utility>

#include "host/runtime/chat_event.h"
#include "host/runtime/server_message.h"

namespace host::runtime {

namespace {

constexpr std::size_t kExcerptChars = 60;

}  // namespace

ChatStream::ChatStream(TurnOutput& out, std::string where, bool untagged_may_think)
    : out_(out),
      splitter_(out, untagged_may_think),
      parser_([this](std::string_view data) { return event(data); },
              [this](std::string_view value) { return error_field(value); }),
      where_(std::move(where)) {}

std::vector<ToolCall> ChatStream::tool_calls() const {
  std::vector<ToolCall> calls;
  for (const auto& [index, call] : tool_calls_) calls.push_back(call);
  return calls;
}

void ChatStream::fail(std::string reason) {
  if (!failure_) failure_ = std::move(reason);
}

bool ChatStream::feed(std::string_view bytes) {
  if (complete_ || failure_) return false;
  if (form_ == Form::unknown) {
    // The first visible byte tells the body's form: "{" a JSON completion (or error), "<" a web
    // page, anything else the field name or comment that starts an event stream.
    const std::size_t first = bytes.find_first_not_of(" \t\r\n");
    if (first == std::string_view::npos) return true;
    if (bytes[first] == '<') {
      fail(fmt::format("{} answered with an HTML page, not an event stream: is base_url right?",
                       where_));
      return false;
    }
    form_ = bytes[first] == '{' ? Form::whole_json : Form::events;
  }
  if (form_ == Form::whole_json) {
    if (body_.size() + bytes.size() > kMaxAnswerBytes) {
      fail(fmt::format("the answer from {} is larger than {} MB", where_, kMaxAnswerBytes >> 20));
      return false;
    }
    body_.append(bytes);
    return true;
  }
  if (!parser_.feed(bytes) && parser_.too_large()) {
    fail(fmt::format("an event from {} is larger than {} MB", where_,
                     SseParser::kMaxEventBytes >> 20));
  }
  return !complete_ && !failure_;
}

bool ChatStream::event(std::string_view data) {
  if (is_done_marker(data)) {
    complete_ = true;
    return false;
  }
  const std::optional<ChatDelta> delta = parse_chat_event(data);
  if (!delta) {
    fail(fmt::format("malformed JSON in an event from the server: {}",
                     one_line(data, kExcerptChars)));
    return false;
  }
  if (delta->completion_tokens) tokens_ = delta->completion_tokens;
  if (delta->error) {
    fail(one_line(*delta->error, kMaxMessageChars));
    return false;
  }
  return take(*delta);
}

bool ChatStream::error_field(std::string_view value) {
  // Older servers: "error: {json}" in place of a data line, then [DONE].
  fail(server_message(value).value_or("the server reported an error"));
  return false;
}

bool ChatStream::take(const ChatDelta& delta) {
  std::size_t added = delta.reasoning.size() + delta.content.size();
  for (const ToolCallPiece& piece : delta.tool_calls) {
    added += piece.name.size() + piece.arguments.size();
  }
  if (text_bytes_ + added > kMaxAnswerBytes) {
    fail(fmt::format("the answer from {} is larger than {} MB", where_, kMaxAnswerBytes >> 20));
    return false;
  }
  text_bytes_ += added;
  if (delta.finish_reason) finish_reason_ = delta.finish_reason;
  for (const ToolCallPiece& piece : delta.tool_calls) {
    ToolCall& call = tool_calls_[piece.index];
    call.name += piece.name;
    call.arguments += piece.arguments;
  }
  if (!delta.reasoning.empty()) {
    splitter_.untagged_is_answer();
    out_.thinking(delta.reasoning);
  }
  if (!delta.content.empty()) splitter_.feed(delta.content);
  return true;
}

void ChatStream::show_whole_answer() {
  const std::optional<ChatDelta> answer = parse_chat_event(body_);
  body_.clear();
  if (!answer) {
    fail(fmt::format("malformed JSON in the answer from {}", where_));
    return;
  }
  if (answer->error) {
    fail(one_line(*answer->error, kMaxMessageChars));
    return;
  }
  tokens_ = answer->completion_tokens;
  if (take(*answer)) complete_ = true;
}

void ChatStream::finish() {
  if (finished_) return;
  finished_ = true;
  if (form_ == Form::whole_json && !failure_) show_whole_answer();
  splitter_.finish();
  out_.finish_thinking();
  // A server that said why the model stopped has sent the whole answer, even if it then hangs
  // up without [DONE]; and a [DONE] whose line break never came is still the end.
  if (!failure_ && (finish_reason_ || is_done_marker(parser_.unfinished_data().value_or("")))) {
    complete_ = true;
  }
  if (!complete_) {
    fail(parser_.in_event()
             ? fmt::format("the stream from {} was cut off in the middle of an event", where_)
             : fmt::format("the stream from {} ended without [DONE]", where_));
  }
}

}  // namespace host::runtime
