#include "unicode/utf8.h"

#include <cstdint>
#include <cstring>

#include "unicode/ascii_scan.h"

namespace unicode {

namespace {

constexpr bool is_cont(unsigned char b) {
  return (b & 0xC0) == 0x80;
}

}  // namespace

Decoded decode_at(std::string_view s, std::size_t pos) noexcept {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  if (b0 < 0x80) return {b0, 1};
  std::size_t need;
  char32_t cp;
  char32_t min;
  if (b0 >= 0xC2 && b0 <= 0xDF) {
    need = 1, cp = b0 & 0x1F, min = 0x80;
  } else if (b0 >= 0xE0 && b0 <= 0xEF) {
    need = 2, cp = b0 & 0x0F, min = 0x800;
  } else if (b0 >= 0xF0 && b0 <= 0xF4) {
    need = 3, cp = b0 & 0x07, min = 0x10000;
  } else {
    return {REPLACEMENT, 1};
  }
  if (s.size() - pos <= need) {
    // Truncated: only valid if every remaining byte would have been a continuation, and even
    // then the sequence is incomplete, so the lead byte alone is replaced.
    return {REPLACEMENT, 1};
  }
  for (std::size_t i = 1; i <= need; ++i) {
    const auto b = static_cast<unsigned char>(s[pos + i]);
    if (!is_cont(b)) return {REPLACEMENT, 1};
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return {REPLACEMENT, 1};
  return {cp, need + 1};
}

void append_utf8(std::string& out, char32_t cp) {
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = REPLACEMENT;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

bool is_valid(std::string_view s) noexcept {
  for (std::size_t pos = 0; pos < s.size();) {
    pos = ascii_run_end(s, pos, s.size(), 0);
    if (pos == s.size()) break;
    if (static_cast<unsigned char>(s[pos]) < 0x80) {  // DEL
      ++pos;
      continue;
    }
    const Decoded d = decode_at(s, pos);
    if (d.cp == REPLACEMENT && d.len == 1) return false;
    pos += d.len;
  }
  return true;
}

std::string sanitize(std::string_view s) {
  if (is_valid(s)) return std::string(s);
  std::string out;
  out.reserve(s.size() + 8);
  for (std::size_t pos = 0; pos < s.size();) {
    const Decoded d = decode_at(s, pos);
    if (d.cp == REPLACEMENT && d.len == 1) {
      append_utf8(out, REPLACEMENT);
    } else {
      out.append(s.substr(pos, d.len));
    }
    pos += d.len;
  }
  return out;
}

std::size_t cp_count(std::string_view s) noexcept {
  std::size_t n = 0;
  for (std::size_t pos = 0; pos < s.size(); ++n) {
    const auto b = static_cast<unsigned char>(s[pos]);
    pos += b < 0x80 ? 1 : decode_at(s, pos).len;
  }
  return n;
}

std::string cp_prefix(std::string_view s, std::size_t n) {
  std::size_t pos = 0;
  for (std::size_t i = 0; i < n && pos < s.size(); ++i) {
    const auto b = static_cast<unsigned char>(s[pos]);
    pos += b < 0x80 ? 1 : decode_at(s, pos).len;
  }
  return sanitize(s.substr(0, pos));
}

}  // namespace unicode
