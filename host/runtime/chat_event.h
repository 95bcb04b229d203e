#pragma once
// One event of a streamed chat completion (an OpenAI-compatible "chat.completion.chunk"), or a
// whole completion from a server that did not stream: what it adds to the turn.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace host::runtime {

// A piece of a tool call the model asked for: streamed servers send the name first and the
// arguments in pieces, all under the call's index.
struct ToolCallPiece {
  long long index = 0;
  std::string name;
  std::string arguments;
};

struct ChatDelta {
  std::string reasoning;  // `reasoning_content`, or `reasoning` as some servers call it
  std::string content;    // answer text, possibly with <think> tags at its start
  std::optional<long long> completion_tokens;  // from `usage`, when the event carries it
  std::optional<std::string> error;            // an error the server reported in the stream
  std::optional<std::string> finish_reason;    // "stop", "length", "tool_calls", …
  std::vector<ToolCallPiece> tool_calls;
};

// The event that ends a stream.
[[nodiscard]] inline bool is_done_marker(std::string_view data) {
  return data == "[DONE]";
}

// The delta of the first choice of a streamed event (`choices[0].delta`) or of a whole
// completion (`choices[0].message`) with its tool calls and finish reason, the usage and any
// error the event reports. Events without
// choices, with `content: null` or with fields of unexpected types add nothing. Bytes that are
// not UTF-8 are taken as U+FFFD. Nothing when `data` is not a JSON object.
[[nodiscard]] std::optional<ChatDelta> parse_chat_event(std::string_view data);

}  // namespace host::runtime
