#pragma once
// UTF-8 decoding and encoding. Invalid input never fails: every byte that does not start a
// well-formed sequence (stray continuation bytes, overlong forms, surrogates, values above
// U+10FFFF, truncated sequences) decodes as one U+FFFD.

#include <cstddef>
#include <string>
#include <string_view>

namespace unicode {

inline constexpr char32_t REPLACEMENT = U'\uFFFD';

struct Decoded {
  char32_t cp;      // the code point, or REPLACEMENT for an invalid byte
  std::size_t len;  // bytes consumed, at least 1
};

// Decodes the code point starting at byte `pos` (which must be < s.size()).
[[nodiscard]] Decoded decode_at(std::string_view s, std::size_t pos) noexcept;

// Appends the UTF-8 form of `cp` (REPLACEMENT for surrogates and values above U+10FFFF).
void append_utf8(std::string& out, char32_t cp);

// The same text with every invalid byte replaced by U+FFFD: always valid UTF-8.
[[nodiscard]] std::string sanitize(std::string_view s);
[[nodiscard]] bool is_valid(std::string_view s) noexcept;

// Number of code points (an invalid byte counts as one).
[[nodiscard]] std::size_t cp_count(std::string_view s) noexcept;

// The first `n` code points of `s` as valid UTF-8; the whole (sanitized) text when it is shorter.
[[nodiscard]] std::string cp_prefix(std::string_view s, std::size_t n);

// Calls f(cp, byte_offset, byte_len) for each code point in order.
template <typename F>
void for_each_cp(std::string_view s, F&& f) {
  for (std::size_t pos = 0; pos < s.size();) {
    const Decoded d = decode_at(s, pos);
    f(d.cp, pos, d.len);
    pos += d.len;
  }
}

}  // namespace unicode
