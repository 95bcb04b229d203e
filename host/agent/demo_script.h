#pragma once
// The embedded demo turn played by `vellumine --demo`.

#include <string_view>

namespace host {

// A script (JSON Lines) of one realistic turn: thinking, a search, a read, an edit with a diff,
// a command that asks for approval, and a streamed Markdown answer.
[[nodiscard]] std::string_view demo_script();

}  // namespace host
