#pragma once
// A unified diff of two texts (the agent's `diff` content and the files the client writes),
// made with the dtl library: "--- path", "+++ path", then the hunks with three lines of context.

#include <optional>
#include <string>
#include <string_view>

namespace host::acp {

// `before` absent means a new file (every line added). Identical texts give the two header
// lines only.
[[nodiscard]] std::string unified_diff(std::string_view path,
                                       const std::optional<std::string>& before,
                                       std::string_view after);

}  // namespace host::acp
