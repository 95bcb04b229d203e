#include "unicode/width.h"

#include <utf8proc.h>

#include <algorithm>
#include <atomic>

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

std::atomic<WidthMode> g_mode{WidthMode::code_points};

constexpr bool is_regional_indicator(char32_t cp) {
  return cp >= 0x1F1E6 && cp <= 0x1F1FF;
}

// Cells a terminal that does not cluster gives one code point: wcwidth's rule, which differs
// from utf8proc's on spacing marks (one cell, not none) and on Hangul vowel and final jamo
// (none, as they join the syllable before them).
int terminal_cp_width(char32_t cp) noexcept {
  if ((cp >= 0x1160 && cp <= 0x11FF) || (cp >= 0xD7B0 && cp <= 0xD7FF)) return 0;
  const int w = cp_width(cp);
  if (w == 0 && cp >= 0x300 &&
      utf8proc_category(static_cast<utf8proc_int32_t>(cp)) == UTF8PROC_CATEGORY_MC) {
    return 1;
  }
  return w;
}

bool is_combining_only(char32_t cp) noexcept {
  if ((cp >= 0xFE00 && cp <= 0xFE0F) || (cp >= 0xE0100 && cp <= 0xE01EF)) return false;
  const auto cat = utf8proc_category(static_cast<utf8proc_int32_t>(cp));
  return cat == UTF8PROC_CATEGORY_MN || cat == UTF8PROC_CATEGORY_ME;
}

}  // namespace

void set_width_mode(WidthMode mode) noexcept {
  g_mode.store(mode, std::memory_order_relaxed);
}

WidthMode width_mode() noexcept {
  return g_mode.load(std::memory_order_relaxed);
}

bool widths_disagree(std::string_view s) noexcept {
  utf8proc_int32_t state = 0;
  char32_t prev = 0;
  bool first = true;
  for (std::size_t pos = 0; pos < s.size();) {
    const Decoded d = decode_at(s, pos);
    pos += d.len;
    const bool joins =
        !first && !(prev == REPLACEMENT || d.cp == REPLACEMENT) &&
        !utf8proc_grapheme_break_stateful(static_cast<utf8proc_int32_t>(prev),
                                          static_cast<utf8proc_int32_t>(d.cp), &state);
    if (joins && !is_combining_only(d.cp)) return true;
    prev = d.cp;
    first = false;
  }
  return false;
}

Grapheme grapheme_at(std::string_view s, std::size_t pos) noexcept {
  const auto b0 = static_cast<unsigned char>(s[pos]);
  // Fast path: printable ASCII followed by ASCII (or the end) is a cluster of its own.
  if (b0 >= 0x20 && b0 < 0x7F &&
      (pos + 1 == s.size() || static_cast<unsigned char>(s[pos + 1]) < 0x80)) {
    return {1, 1};
  }
  const bool per_code_point = width_mode() == WidthMode::code_points;
  const Decoded first = decode_at(s, pos);
  int width = per_code_point ? terminal_cp_width(first.cp) : cp_width(first.cp);
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
    if (per_code_point) {
      if (terminal_cp_width(d.cp) > 0) break;  // drawn on cells of its own
      len += d.len;
      prev = d.cp;
      continue;
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
