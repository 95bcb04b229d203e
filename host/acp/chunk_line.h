#pragma once
// The line an agent sends most by far while it answers: a session/update notification with
// one agent_message_chunk or agent_thought_chunk of text. `read_chunk_line` reads such a line in
// one pass over its bytes, without building the JSON document; it checks the whole line as a
// JSON parser would (strings, escapes, UTF-8, numbers, literals, nesting, nothing after the
// object). Any other line, and any line it is not sure of (a duplicate key it reads, a number it
// would have to convert, a value it cannot place), is left to the full parser: nullopt.

#include <optional>
#include <string>
#include <string_view>

namespace host::acp {

struct TextChunk {
  enum class Kind { answer, thought };
  Kind kind = Kind::answer;
  std::string text;
};

[[nodiscard]] std::optional<TextChunk> read_chunk_line(std::string_view line);

}  // namespace host::acp
