#include "unicode/width.h"

#include <utf8proc.h>

#include <algorithm>

#include "unicode/utf8.h"

namespace unicode {

int cp_width(char32_t cp) noexcept {
  if (cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) return 0;
  if (cp < 0x7F) return 1;
  if (cp > 0x10FFFF) return 1;
  const int w = utf8proc_charwidth(static_cast<utf8proc_int32_t>(cp));
  return w < 0 ? 0 : (w > 2 ? 2 : w);
}

namespace {

constexpr bool is_regional_indicator(char32_t cp) {
  return cp >= 0x1F1E6 && cp <= 0x1F1FF;
}

}  // namespace

Grapheme grapheme_at(std::string_view s, std::size_t pos) noexcept {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  // Fast path: printable ASCII followed by ASCII (or the end) is a cluster of its own.
  if (b0 >= 0x20 && b0 < 0x7F &&
      (pos + 1 == s.size() || static_cast<unsigned char>(s[pos + 1]) < 0x80)) {
    return {1, 1};
  }
  const Decoded first = decode_at(s, pos);
  int width = cp_width(first.cp);
  std::size_t len = first.len;
  utf8proc_int32_t state = 0;
  char32_t prev = first.cp;
  int regional = is_regional_indicator(first.cp) ? 1 : 0;
  while (pos + len < s.size()) {
    const Decoded d = decode_at(s, pos + len);
    if (first.cp == REPLACEMENT && first.len == 1) break;  // an invalid byte stands alone
    if (d.cp == REPLACEMENT && d.len == 1) break;
    if (utf8proc_grapheme_break_stateful(static_cast<utf8proc_int32_t>(prev),
                                         static_cast<utf8proc_int32_t>(d.cp), &state)) {
      break;
    }
    if (d.cp == 0xFE0F && width == 1) width = 2;
    if (is_regional_indicator(d.cp)) ++regional;
    prev = d.cp;
    len += d.len;
  }
  if (regional >= 2) width = 2;
  return {len, width};
}

std::size_t str_width(std::string_view s) noexcept {
  std::size_t w = 0;
  for (std::size_t pos = 0; pos < s.size();) {
    const Grapheme g = grapheme_at(s, pos);
    w += static_cast<std::size_t>(g.width);
    pos += g.len;
  }
  return w;
}

std::size_t widest_piece_width(std::string_view s, std::string_view breaks) noexcept {
  std::size_t widest = 0;
  std::size_t cur = 0;
  for (std::size_t pos = 0; pos < s.size();) {
    if (breaks.find(s[pos]) != std::string_view::npos) {
      widest = std::max(widest, cur);
      cur = 0;
      ++pos;
      continue;
    }
    const Grapheme g = grapheme_at(s, pos);
    cur += static_cast<std::size_t>(g.width);
    pos += g.len;
  }
  return std::max(widest, cur);
}

}  // namespace unicode
