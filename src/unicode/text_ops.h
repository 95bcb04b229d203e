#pragma once
// White space, stripping, line splitting and control-character display, with exactly the
// character sets the rest of the system counts with.

#include <string>
#include <string_view>
#include <vector>

namespace unicode {

// Unicode white space as Python's str.isspace: tab, LF, VT, FF, CR, FS, GS, RS, US, space,
// U+0085, U+00A0, U+1680, U+2000–U+200A, U+2028, U+2029, U+202F, U+205F, U+3000.
[[nodiscard]] bool is_space(char32_t cp) noexcept;

// Line boundaries: LF, CR, CR LF (one boundary), VT, FF, FS, GS, RS, U+0085, U+2028, U+2029.
[[nodiscard]] bool is_line_boundary(char32_t cp) noexcept;

// True when `s` holds no character but white space (also for the empty text).
[[nodiscard]] bool is_blank(std::string_view s) noexcept;
// Remove white space at both ends / at the end. The result is valid UTF-8.
[[nodiscard]] std::string strip(std::string_view s);
[[nodiscard]] std::string rstrip(std::string_view s);

// Split at every line boundary, dropping the boundaries; a boundary at the very end gives no
// empty last line, and the empty text gives no lines. Lines are valid UTF-8.
[[nodiscard]] std::vector<std::string> split_lines(std::string_view s);

// Whether `cp` is a control that the terminal must never receive raw: C0 controls other than
// LF and tab, DEL and C1 controls (U+0080–U+009F).
[[nodiscard]] constexpr bool is_control(char32_t cp) noexcept {
  return (cp < 0x20 && cp != U'\n' && cp != U'\t') || cp == 0x7F || (cp >= 0x80 && cp <= 0x9F);
}

// Appends code point `cp`, whose UTF-8 bytes in the source are `bytes`, in its visible form
// (as visible_controls shows it): for loops that decode text themselves.
void append_visible(std::string& out, char32_t cp, std::string_view bytes);

// Makes control characters visible, one character for one so that counts stay true:
// C0 controls other than LF and tab become U+2400 + code (ESC shows as ␛), DEL becomes ␡,
// C1 controls (U+0080–U+009F) become U+FFFD. Invalid UTF-8 becomes U+FFFD.
[[nodiscard]] std::string visible_controls(std::string_view s);

// Whether visible_controls would change anything.
[[nodiscard]] bool has_controls(std::string_view s) noexcept;

}  // namespace unicode
