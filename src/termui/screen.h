#pragma once
// A Screen is the root of one page of the interface. `compose` yields its children in order;
// key presses that the focused widget leaves unused are matched against the screen's BINDINGS
// and then the App's, and run as actions registered under their names (action_<name>).

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "termui/binding.h"
#include "termui/widget.h"

namespace termui {

class Screen : public Widget {
 public:
  static constexpr std::string_view DEFAULT_CSS = "Screen { layout: vertical; }";

  explicit Screen(std::string id = {}) : Widget(std::move(id)) {}

  [[nodiscard]] std::vector<std::string_view> css_sources() const override { return {DEFAULT_CSS}; }

  // The children, built once when the screen is first shown.
  virtual std::vector<std::unique_ptr<Widget>> compose() { return {}; }
  // The screen's BINDINGS table.
  [[nodiscard]] virtual const std::vector<Binding>& bindings() const;

  // Runs the action named `name`; false when the screen has none by that name.
  bool run_action(std::string_view name);
  // Whether the action named `name` may run now. A binding whose action may not is passed
  // over, and the key goes on as if the binding did not exist.
  virtual bool check_action(std::string_view /*name*/) { return true; }

  [[nodiscard]] Widget* focused() const { return focused_; }
  void set_focus(Widget* w) { focused_ = w; }

 protected:
  // Makes `name` runnable by bindings; subclasses register their action_ members here.
  void register_action(std::string name, std::function<void()> action);

 private:
  friend class App;
  std::map<std::string, std::function<void()>, std::less<>> actions_;
  Widget* focused_ = nullptr;
  bool composed_ = false;
};

}  // namespace termui
