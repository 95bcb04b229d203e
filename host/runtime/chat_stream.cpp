#include "host/runtime/chat_stream.h"

#include <fmt/format.h>

#include <utility>

#include "host/runtime/chat_event.h"
#include "host/runtime/server_message.h"

namespace host::runtime {

namespace {

constexpr std::size_t kExcerptChars = 60;

}  // namespace

ChatStream::ChatStream(TurnOutput& out, std::string where)
    : out_(out),
      splitter_(out),
      parser_([this](std::string_view data) { return event(data); }),
      where_(std::move(where)) {}

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
    if (body_.size() + bytes.size() > kMaxWholeAnswerBytes) {
      fail(fmt::format("the answer from {} is larger than {} MB", where_,
                       kMaxWholeAnswerBytes >> 20));
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
  if (!delta->reasoning.empty()) out_.thinking(delta->reasoning);
  if (!delta->content.empty()) splitter_.feed(delta->content);
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
  if (!answer->reasoning.empty()) out_.thinking(answer->reasoning);
  if (!answer->content.empty()) splitter_.feed(answer->content);
  complete_ = true;
}

void ChatStream::finish() {
  if (finished_) return;
  finished_ = true;
  if (form_ == Form::whole_json && !failure_) show_whole_answer();
  splitter_.finish();
  out_.finish_thinking();
  if (!complete_) {
    fail(parser_.in_event()
             ? fmt::format("the stream from {} was cut off in the middle of an event", where_)
             : fmt::format("the stream from {} ended without [DONE]", where_));
  }
}

}  // namespace host::runtime
