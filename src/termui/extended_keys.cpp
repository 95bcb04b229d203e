#include "termui/extended_keys.h"

#include <string>

#include "unicode/utf8.h"

namespace termui {
namespace {

constexpr int SHIFT = 1;
constexpr int ALT = 2;
constexpr int CTRL = 4;

const char* named(int code) {
  switch (code) {
    case 13:
      return "enter";
    case 9:
      return "tab";
    case 27:
      return "escape";
    case 8:
    case 127:
      return "backspace";
    case 32:
      return "space";
    default:
      return nullptr;
  }
}

}  // namespace

std::optional<KeyEvent> extended_key(int code, int modifiers) {
  const int bits = modifiers > 1 ? modifiers - 1 : 0;
  // Code points the protocol keeps for keys without a character (keypad, locks, media), and
  // anything that is not a character at all.
  const bool character = code > 0x20 && code <= 0x10ffff && code != 0x7f &&
                         !(code >= 0x80 && code < 0xa0) && !(code >= 0xd800 && code <= 0xdfff) &&
                         !(code >= 0xe000 && code <= 0xf8ff);
  if (!character && !named(code)) return std::nullopt;
  std::string prefix;
  if (bits & CTRL) prefix += "ctrl+";
  if (bits & ALT) prefix += "alt+";

  if (const char* name = named(code)) {
    // Space and Tab without ctrl or alt type themselves, as their legacy bytes do.
    if (code == 32 && (bits & (CTRL | ALT)) == 0) return KeyEvent{"space", " "};
    if (code == 9 && bits == 0) return KeyEvent{"tab", std::string(1, '\t')};
    if (bits & SHIFT) prefix += "shift+";
    return KeyEvent{prefix + name, {}};
  }

  // A character key: the code is the unshifted key; shift alone types its shifted form.
  std::string ch;
  const auto cp = static_cast<char32_t>(code);
  const bool ascii_letter = cp >= U'a' && cp <= U'z';
  if ((bits & SHIFT) && ascii_letter) {
    unicode::append_utf8(ch, cp - U'a' + U'A');
  } else {
    unicode::append_utf8(ch, cp);
  }
  if ((bits & (CTRL | ALT)) == 0) return KeyEvent{ch, ch};  // typed text
  if (bits & SHIFT) prefix += "shift+";
  std::string base;
  unicode::append_utf8(base, cp);
  return KeyEvent{prefix + base, {}};
}

}  // namespace termui
