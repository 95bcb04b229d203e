#include "termui/screen.h"

namespace termui {

const std::vector<Binding>& Screen::bindings() const {
  static const std::vector<Binding> NONE;
  return NONE;
}

bool Screen::run_action(std::string_view name) {
  const auto it = actions_.find(name);
  if (it == actions_.end()) return false;
  it->second();
  return true;
}

void Screen::register_action(std::string name, std::function<void()> action) {
  actions_[std::move(name)] = std::move(action);
}

}  // namespace termui
