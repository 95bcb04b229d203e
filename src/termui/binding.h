#pragma once
// A key binding: pressing `key` runs the action `action` (dispatched as action_<action>).
// Bindings are looked up after the focused widget has declined the key, except priority
// bindings, which are looked up first: a screen takes such keys even from a text field.

#include <string>

namespace termui {

struct Binding {
  std::string key;
  std::string action;
  std::string description;
  bool show = true;  // whether a footer would list it
  bool priority = false;
};

}  // namespace termui
