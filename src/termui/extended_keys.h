#pragma once
// Keys reported by a terminal's extended keyboard modes: the kitty keyboard protocol
// (CSI code ; modifiers u) and xterm's modifyOtherKeys (CSI 27 ; modifiers ; code ~). Both
// name a key by its Unicode code point and carry the modifiers the legacy bytes lose, which is
// what tells Shift+Enter from Enter.

#include <optional>

#include "termui/events.h"

namespace termui {

// The key for code point `code` with the terminal's modifier parameter `modifiers` (1 + a bit
// set: 1 shift, 2 alt, 4 ctrl; 0 or 1 for none), named as the legacy parser names keys
// ("enter", "shift+enter", "ctrl+c", "alt+x", "A"). Empty for codes that name no key we know
// (the protocol's private-use codes for lock and keypad keys, surrogates, out of range).
[[nodiscard]] std::optional<KeyEvent> extended_key(int code, int modifiers);

}  // namespace termui
