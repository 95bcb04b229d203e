#pragma once
// One event of a streamed chat completion (an OpenAI-compatible "chat.completion.chunk"), or a
// whole completion from a server that did not stream: what it adds to the turn.

#include <optional>
#include <string>
#include <string_view>

namespace host::runtime {

struct ChatDelta {
  std::string reasoning;  // `reasoning_content`, or `reasoning` as some servers call it
  std::string content;    // answer text, possibly with <think> tags at its start
  std::optional<long long> completion_tokens;  // from `usage`, when the event carries it
  std::optional<std::string> error;            // an error the server reported in the stream
};

// The event that ends a stream.
[[nodiscard]] inline bool is_done_marker(std::string_view data) {
  return data == "[DONE]";
}

// The delta of the first choice of a streamed event (`choices[0].delta`) or of a whole
// completion (`choices[0].message`), its usage and any error it reports. Events without
// choices, with `content: null` or with fields of unexpected types add nothing. Bytes that are
// not UTF-8 are taken as U+FFFD. Nothing when `data` is not a JSON object.
[[nodiscard]] std::optional<ChatDelta> parse_chat_event(std::string_view data);

}  // namespace host::runtime
