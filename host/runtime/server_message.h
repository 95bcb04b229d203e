#pragma once
// What a model server said about itself, as one short line for the mode picker's box.

#include <optional>
#include <string>
#include <string_view>

namespace host::runtime {

inline constexpr std::size_t kMaxMessageChars = 160;

// The message of an answer's body: the JSON `error.message`, `error`, `message`, `detail` or
// `status` (the first that is a string), else the first non-blank line of a body that is
// neither JSON nor HTML; made one_line and cut to kMaxMessageChars. Nothing when the body says
// nothing.
[[nodiscard]] std::optional<std::string> server_message(std::string_view body);

// A JSON body whose `status` is "ok".
[[nodiscard]] bool says_ok(std::string_view body);

// `text` made one line: controls and line breaks become spaces, runs of white space one space,
// and it is cut to `max_chars` characters (code points) with "…" after the cut.
[[nodiscard]] std::string one_line(std::string_view text, std::size_t max_chars);

}  // namespace host::runtime
