#include "host/agent/agent_events.h"

#include <algorithm>
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

// One field of a plan line: the separators are spaces inside it.
void append_field(std::string& out, std::string_view text) {
  for (char c : text) out += (c == '\t' || c == '\n' || c == '\r') ? ' ' : c;
}

}  // namespace

std::string encode_plan(const std::vector<PlanEntry>& entries) {
  std::string out;
  for (const PlanEntry& e : entries) {
    append_field(out, e.status);
    out += '\t';
    append_field(out, e.priority);
    out += '\t';
    append_field(out, e.content);
    out += '\n';
  }
  return out;
}

std::vector<PlanEntry> decode_plan(std::string_view text) {
  std::vector<PlanEntry> out;
  while (!text.empty()) {
    const std::size_t end = std::min(text.find('\n'), text.size());
    const std::string_view line = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    const std::size_t a = line.find('\t');
    const std::size_t b = a == std::string_view::npos ? a : line.find('\t', a + 1);
    if (b == std::string_view::npos) continue;
    out.push_back({std::string(line.substr(b + 1)), std::string(line.substr(0, a)),
                   std::string(line.substr(a + 1, b - a - 1))});
  }
  return out;
}

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
  if (type == "tool_call") {
    return ToolCall{p.get("id"),
                    p.get("name"),
                    p.get("args"),
                    p.get("status"),
                    p.get("result"),
                    p.get("error") == "true",
                    p.get("first") == "true"};
  }
  if (type == "plan") return Plan{decode_plan(p.get("entries"))};
  return std::nullopt;
}

}  // namespace host::events
