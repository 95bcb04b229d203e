#pragma once
// What the App needs of a terminal: a place to write frames, the bytes the user types, the size
// and word of a resize. The real terminal and the headless test/benchmark driver implement it.

#include <string_view>

#include "termui/geometry.h"

namespace termui {

class Driver {
 public:
  virtual ~Driver() = default;
  // Puts the terminal into application mode / restores it. `stop` is safe to call twice.
  virtual void start() = 0;
  virtual void stop() = 0;
  // Descriptor to poll for input bytes, or -1 when input is injected directly.
  [[nodiscard]] virtual int input_fd() const = 0;
  // Descriptor that becomes readable when the size may have changed, or -1.
  [[nodiscard]] virtual int resize_fd() const = 0;
  // Called by the App after `resize_fd` became readable, to consume the notification.
  virtual void drain_resize() {}
  [[nodiscard]] virtual Size size() = 0;
  // Writes a whole frame; throws std::system_error when the terminal is gone.
  virtual void write(std::string_view bytes) = 0;
  // The terminal's answer to a mode query (DECRQM): true when text must be measured again.
  virtual bool on_mode_report(int /*mode*/, int /*value*/) { return false; }
  // The terminal answered the keyboard protocol query: it may now be asked to report keys
  // with their modifiers.
  virtual void on_keyboard_protocol(int /*flags*/) {}
  // Hands the terminal to another program (an editor) and takes it back; the App draws
  // everything again afterwards.
  virtual void release() {}
  virtual void reclaim() {}
  // Ctrl+Z arrived as a key (a terminal that reports keys in the kitty protocol sends it as a
  // sequence, so the line discipline never turns it into the stop signal): stop as it would.
  virtual void suspend_by_key() {}
  // After `resize_fd` became readable: whether everything must be drawn again whatever the size
  // (the terminal was handed back after a suspension). Clears the request.
  virtual bool take_redraw() { return false; }
};

}  // namespace termui
