#pragma once
// Input: a one-line text field. Typing inserts at the cursor; left/right/home/end move it;
// backspace/delete and ctrl+u/ctrl+k/ctrl+w edit; a paste is inserted as one line; enter
// submits (the callback and a Submitted message to the App). The cursor is drawn as a
// reverse-video cell, so the terminal's own cursor stays hidden.

#include <functional>
#include <string>
#include <string_view>

#include "termui/message.h"
#include "termui/widget.h"

namespace termui {

class Input : public Widget {
 public:
  static constexpr std::string_view DEFAULT_CSS = "Input { height: 1; }";

  struct Submitted : Message {
    Submitted(Input* i, std::string v) : input(i), value(std::move(v)) {}
    Input* input;
    std::string value;
  };

  explicit Input(std::string placeholder = {}, std::string id = {});

  [[nodiscard]] std::vector<std::string_view> css_sources() const override { return {DEFAULT_CSS}; }

  [[nodiscard]] const std::string& value() const { return value_; }
  void set_value(std::string_view text);
  // Cursor position as a byte offset into value(), always at a character boundary.
  [[nodiscard]] std::size_t cursor() const { return cursor_; }
  void insert(std::string_view text);

  std::function<void(const std::string&)> on_submit;
  // Text shown before the value ("❯ "), in its own style.
  void set_prompt(std::string prompt, styled::Style style = {});

  [[nodiscard]] bool can_focus() const override { return true; }
  bool on_key(const KeyEvent& key) override;
  void on_paste(const PasteEvent& paste) override;
  void on_mouse_down(MouseEvent& event) override;
  [[nodiscard]] Strip render_line(int y) override;
  [[nodiscard]] int content_height(int) override { return 1; }

 private:
  [[nodiscard]] std::size_t previous_boundary(std::size_t pos) const;
  [[nodiscard]] std::size_t next_boundary(std::size_t pos) const;

  std::string placeholder_;
  std::string prompt_;
  styled::Style prompt_style_;
  std::string value_;
  std::size_t cursor_ = 0;
  std::size_t view_ = 0;  // byte offset of the first character shown
};

}  // namespace termui
