#include "unicode/visible_text.h"

#include <algorithm>

#include "unicode/text_ops.h"
#include "unicode/utf8.h"

namespace unicode {

namespace {

constexpr bool is_reordering(char32_t cp) {
  return cp == 0x061C || cp == 0x200E || cp == 0x200F || (cp >= 0x2028 && cp <= 0x202E) ||
         (cp >= 0x2066 && cp <= 0x2069);
}

constexpr bool is_invisible(char32_t cp) {
  if (cp < 0x2000) {
    return cp == 0x00AD || cp == 0x034F || cp == 0x115F || cp == 0x1160 || cp == 0x17B4 ||
           cp == 0x17B5 || (cp >= 0x180B && cp <= 0x180F);
  }
  if (cp < 0x3000) {
    return (cp >= 0x200B && cp <= 0x200D) || (cp >= 0x2060 && cp <= 0x2065) ||
           (cp >= 0x206A && cp <= 0x206F);
  }
  return cp == 0x3164 || cp == 0xFEFF || cp == 0xFFA0 || (cp >= 0xFFF0 && cp <= 0xFFF8) ||
         (cp >= 0x1BCA0 && cp <= 0x1BCA3) || (cp >= 0x1D173 && cp <= 0x1D17A) ||
         (cp >= 0xE0000 && cp <= 0xE0FFF);
}

void append_escape(std::string& out, char32_t cp) {
  static constexpr char HEX[] = "0123456789ABCDEF";
  out += "<U+";
  const int digits = cp > 0xFFFF ? (cp > 0xFFFFF ? 6 : 5) : 4;
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += HEX[(cp >> shift) & 0xF];
  out += '>';
}

}  // namespace

bool is_revealed(char32_t cp, Reveal reveal) noexcept {
  return is_reordering(cp) || (reveal == Reveal::invisible && is_invisible(cp));
}

std::string visible_text(std::string_view text, Reveal reveal) {
  const std::string shown = visible_controls(text);
  // Every revealed character is outside ASCII: ASCII text needs no second pass.
  const bool ascii = std::all_of(shown.begin(), shown.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (ascii) return shown;
  std::string out;
  out.reserve(shown.size() + 16);
  for_each_cp(shown, [&](char32_t cp, std::size_t off, std::size_t len) {
    if (is_revealed(cp, reveal)) {
      append_escape(out, cp);
    } else {
      out.append(shown, off, len);
    }
  });
  return out;
}

}  // namespace unicode
