#pragma once
// A command shown for approval: every character the user is asked to approve must be seen, so
// nothing can make the text look different from what will run.

#include <string>
#include <string_view>

namespace unicode {

// `command` with control characters made visible as `visible_controls` does (line feed and
// tab kept), and with the characters that change how the text around them looks without
// showing themselves written as escapes such as "<U+202E>": the bidirectional embeddings,
// overrides, isolates and marks (U+061C, U+200E, U+200F, U+202A–U+202E, U+2066–U+2069), the
// zero-width characters (U+200B–U+200D, U+2060, U+FEFF) and the line and paragraph separators
// (U+2028, U+2029). Invalid UTF-8 becomes U+FFFD. Linear in the length of `command`.
[[nodiscard]] std::string visible_command(std::string_view command);

// Whether `cp` is one of the characters that `visible_command` writes as an escape.
[[nodiscard]] bool is_disguising(char32_t cp) noexcept;

}  // namespace unicode
