#include "unicode/visible_command.h"

#include "unicode/text_ops.h"
#include "unicode/utf8.h"

namespace unicode {

bool is_disguising(char32_t cp) noexcept {
  return cp == 0x061C || (cp >= 0x200B && cp <= 0x200F) || cp == 0x2028 || cp == 0x2029 ||
         (cp >= 0x202A && cp <= 0x202E) || cp == 0x2060 || (cp >= 0x2066 && cp <= 0x2069) ||
         cp == 0xFEFF;
}

std::string visible_command(std::string_view command) {
  const std::string shown = visible_controls(command);
  // The UTF-8 forms of all of these start with byte D8, E2 or EF: text without those bytes
  // needs no second pass.
  if (shown.find_first_of("\xD8\xE2\xEF") == std::string::npos) return shown;
  std::string out;
  out.reserve(shown.size() + 16);
  static constexpr char HEX[] = "0123456789ABCDEF";
  for_each_cp(shown, [&](char32_t cp, std::size_t off, std::size_t len) {
    if (!is_disguising(cp)) {
      out.append(shown, off, len);
      return;
    }
    out += "<U+";
    for (int shift = 12; shift >= 0; shift -= 4) out += HEX[(cp >> shift) & 0xF];
    out += '>';
  });
  return out;
}

}  // namespace unicode
