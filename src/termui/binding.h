#pragma once
// A key binding: pressing `key` runs the action `action` (dispatched as action_<action>).

#include <string>

namespace termui {

struct Binding {
  std::string key;
  std::string action;
  std::string description;
  bool show = true;  // whether a footer would list it
};

}  // namespace termui
