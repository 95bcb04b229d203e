#pragma once
// The prompt field of the chat screen: the framework's Input behind "❯ ". It tells the screen
// when the user types into it (a key or a paste), so that an approval question can tell a
// deliberate answer from a burst of typing.

#include <functional>

#include "termui/widgets/input.h"

namespace host::tui {

class ChatInput : public termui::Input {
 public:
  explicit ChatInput(std::string id = "chat-input");

  // Called for every key and paste that reaches the field, before it is applied.
  std::function<void()> on_typed;

  bool on_key(const termui::KeyEvent& key) override {
    if (on_typed) on_typed();
    return Input::on_key(key);
  }
  void on_paste(const termui::PasteEvent& paste) override {
    if (on_typed) on_typed();
    Input::on_paste(paste);
  }
};

}  // namespace host::tui
