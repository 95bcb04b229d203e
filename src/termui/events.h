#pragma once
// Input events produced by the input parser and delivered by the App.

#include <string>
#include <variant>

namespace termui {

// A key press. `key` names it the way bindings do: the character itself for printable keys
// ("a", "A", "1", "é"), "space", "enter", "tab", "shift+tab", "backspace", "escape", "up",
// "down", "left", "right", "home", "end", "pageup", "pagedown", "insert", "delete", "f1".."f12",
// "ctrl+a".."ctrl+z", "alt+<key>", and modifier prefixes ("ctrl+left", "shift+up").
// `character` is the text the key types, empty for keys that type nothing.
struct KeyEvent {
  std::string key;
  std::string character;
  friend bool operator==(const KeyEvent&, const KeyEvent&) = default;
};

enum class MouseAction { down, up, move, scroll_up, scroll_down, scroll_left, scroll_right };
enum class MouseButton { none, left, middle, right };

// A mouse report. `screen_x`/`screen_y` are 0-based screen cells; `x`/`y` are filled in by the
// App relative to the content area of the widget that receives the event.
struct MouseEvent {
  MouseAction action = MouseAction::move;
  MouseButton button = MouseButton::none;
  int screen_x = 0;
  int screen_y = 0;
  int x = 0;
  int y = 0;
  bool shift = false;
  bool meta = false;
  bool ctrl = false;
  friend bool operator==(const MouseEvent&, const MouseEvent&) = default;
};

// Text delivered through bracketed paste, as one event however long it is.
struct PasteEvent {
  std::string text;
  friend bool operator==(const PasteEvent&, const PasteEvent&) = default;
};

using InputEvent = std::variant<KeyEvent, MouseEvent, PasteEvent>;

}  // namespace termui
