#pragma once
// The prompt field of the chat screen: the framework's Input behind "❯ ", with a gate the
// screen puts in front of it. The gate sees every key and paste first and may take it (keys
// that scroll the transcript, the answer keys of an open approval question, Ctrl+C).

#include <functional>

#include "termui/widgets/input.h"

namespace host::tui {

class ChatInput : public termui::Input {
 public:
  explicit ChatInput(std::string id = "chat-input");

  // Returns true when it took the key.
  std::function<bool(const termui::KeyEvent&)> key_gate;
  // Returns true when pasting is blocked.
  std::function<bool()> paste_blocked;

  bool on_key(const termui::KeyEvent& key) override {
    if (key_gate && key_gate(key)) return true;
    return Input::on_key(key);
  }
  void on_paste(const termui::PasteEvent& paste) override {
    if (paste_blocked && paste_blocked()) return;
    Input::on_paste(paste);
  }
};

}  // namespace host::tui
