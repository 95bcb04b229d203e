#include "host/runtime/chat_event.h"

#include <nlohmann/json.hpp>

#include "host/runtime/json_fields.h"

#include <cstdint>
#include <limits>

#include "unicode/utf8.h"

namespace host::runtime {

namespace {

using nlohmann::json;

std::optional<std::string> error_of(const json& event) {
  const auto it = event.find("error");
  if (it == event.end() || it->is_null()) return std::nullopt;
  if (it->is_string()) return it->get<std::string>();
  if (it->is_object()) {
    if (const auto* message = string_at(*it, "message")) return *message;
  }
  return std::string("the server reported an error");
}

std::optional<long long> completion_tokens_of(const json& event) {
  const auto usage = event.find("usage");
  if (usage == event.end() || !usage->is_object()) return std::nullopt;
  const auto tokens = usage->find("completion_tokens");
  if (tokens == usage->end()) return std::nullopt;
  if (tokens->is_number_unsigned()) {
    constexpr auto kMax = std::numeric_limits<long long>::max();
    const auto n = tokens->get<std::uint64_t>();
    return n > static_cast<std::uint64_t>(kMax) ? kMax : static_cast<long long>(n);
  }
  if (tokens->is_number_integer() && tokens->get<long long>() >= 0) return tokens->get<long long>();
  return std::nullopt;
}

// `tool_calls: [{index, function: {name, arguments}}]`; a whole completion's calls carry no
// index and count in order.
void read_tool_calls(const json& message, ChatDelta& delta) {
  const auto calls = message.find("tool_calls");
  if (calls == message.end() || !calls->is_array()) return;
  long long order = 0;
  for (const json& call : *calls) {
    if (!call.is_object()) continue;
    ToolCallPiece piece;
    const auto index = call.find("index");
    piece.index =
        index != call.end() && index->is_number_integer() ? index->get<long long>() : order;
    ++order;
    if (const auto f = call.find("function"); f != call.end() && f->is_object()) {
      if (const auto* name = string_at(*f, "name")) piece.name = *name;
      if (const auto a = f->find("arguments"); a != f->end()) {
        // Some servers send the arguments as an object rather than JSON text.
        piece.arguments = a->is_string() ? a->get<std::string>() : a->is_null() ? "" : a->dump();
      }
    }
    delta.tool_calls.push_back(std::move(piece));
  }
}

void read_message(const json& message, ChatDelta& delta) {
  if (!message.is_object()) return;
  read_tool_calls(message, delta);
  if (const auto* reasoning = string_at(message, "reasoning_content")) {
    delta.reasoning = *reasoning;
  } else if (const auto* other = string_at(message, "reasoning")) {
    delta.reasoning = *other;
  }
  if (const auto* content = string_at(message, "content")) delta.content = *content;
}

}  // namespace

std::optional<ChatDelta> parse_chat_event(std::string_view data) {
  json event = json::parse(data, nullptr, /*allow_exceptions=*/false);
  // The JSON parser refuses bytes that are not UTF-8; a model's stray byte should cost one
  // replacement character, not the answer.
  if (event.is_discarded() && !unicode::is_valid(data)) {
    event = json::parse(unicode::sanitize(data), nullptr, /*allow_exceptions=*/false);
  }
  if (!event.is_object()) return std::nullopt;
  ChatDelta delta;
  delta.error = error_of(event);
  delta.completion_tokens = completion_tokens_of(event);
  const auto choices = event.find("choices");
  if (choices != event.end() && choices->is_array() && !choices->empty()) {
    const json& choice = choices->front();
    if (choice.is_object()) {
      if (const auto* reason = string_at(choice, "finish_reason")) delta.finish_reason = *reason;
      if (const auto d = choice.find("delta"); d != choice.end()) {
        read_message(*d, delta);
      } else if (const auto m = choice.find("message"); m != choice.end()) {
        read_message(*m, delta);
      }
    }
  }
  return delta;
}

}  // namespace host::runtime
