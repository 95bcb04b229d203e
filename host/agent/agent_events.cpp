#include "host/agent/agent_events.h"

#include <charconv>

namespace host::events {
namespace {

template <typename Int>
Int number(const zell::Payload& payload, std::string_view key, Int fallback) {
  const std::string* v = payload.find(key);
  if (!v) return fallback;
  Int n{};
  const auto [ptr, ec] = std::from_chars(v->data(), v->data() + v->size(), n);
  return ec == std::errc() && ptr == v->data() + v->size() ? n : fallback;
}

}  // namespace

std::optional<TypedEvent> decode(std::string_view type, const zell::Payload& p) {
  if (type == "content") {
    return Content{p.get("chunk"), number<long long>(p, "tokens", -1)};
  }
  if (type == "thinking_chunk") {
    return ThinkingChunk{p.get("chunk"), number<long long>(p, "tokens", -1)};
  }
  if (type == "thinking_start") return ThinkingStart{p.get("reset", "true") != "false"};
  if (type == "thinking_peek") return ThinkingPeek{p.get("text")};
  if (type == "thinking_done") return ThinkingDone{p.get("text")};
  if (type == "stage") return Stage{p.get("stage")};
  if (type == "stream_start") return StreamStart{};
  if (type == "tool_start") {
    return ToolStart{p.get("name"), p.get("args"), number<int>(p, "index", -1)};
  }
  if (type == "tool_result") {
    return ToolResult{p.get("error") == "true", number<int>(p, "index", -1), p.get("result"),
                      p.get("name"), p.get("args")};
  }
  if (type == "done") return Done{};
  if (type == "error") return Error{p.get("message")};
  if (type == "info") return Info{p.get("text")};
  if (type == "user_message") return UserMessage{p.get("text")};
  if (type == "problem") return Problem{p.get("message")};
  return std::nullopt;
}

}  // namespace host::events
