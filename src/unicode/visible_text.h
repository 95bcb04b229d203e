#pragma once
// Text from an agent, a tool or a server made safe to show: nothing in it may drive the
// terminal, reorder the line it sits in, or hide itself. Every place that shows such text goes
// through `visible_text`, so that they all agree on what is revealed.

#include <string>
#include <string_view>

namespace unicode {

enum class Reveal {
  // Controls (as `visible_controls` shows them: line feed and tab kept) and the characters that
  // reorder or break the line around them: the bidirectional embeddings, overrides, isolates
  // and marks (U+061C, U+200E, U+200F, U+202A–U+202E, U+2066–U+2069) and the line and
  // paragraph separators (U+2028, U+2029). For any line of such text.
  reordering,
  // Also every character that takes no room and shows nothing, so a command or a tool's
  // arguments cannot hold what the user does not see: zero-width spaces and joiners
  // (U+200B–U+200D, U+2060, U+FEFF), invisible operators (U+2061–U+2064), the other default
  // ignorable format characters (U+00AD, U+034F, U+115F, U+1160, U+17B4, U+17B5,
  // U+180B–U+180F, U+2065, U+206A–U+206F, U+3164, U+FFA0, U+FFF0–U+FFF8, U+1BCA0–U+1BCA3,
  // U+1D173–U+1D17A) and the tag characters and the rest of U+E0000–U+E0FFF.
  invisible,
};

// `text` with controls made visible and the characters `reveal` names written as escapes such
// as "<U+202E>"; invalid UTF-8 becomes U+FFFD. Linear in the length of `text`, and a copy for
// text without any of them.
[[nodiscard]] std::string visible_text(std::string_view text, Reveal reveal);

// Whether `visible_text` with `reveal` writes `cp` as an escape.
[[nodiscard]] bool is_revealed(char32_t cp, Reveal reveal) noexcept;

}  // namespace unicode
