#pragma once
// Pilot: drives an App headless on a virtual screen, on the calling thread (which becomes the
// UI thread). Each action dispatches its event, drains the message queue, runs due timers and
// paints, so the screen can be read back at once, as text or as styled cells.

#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "termui/app.h"
#include "termui/headless_driver.h"

namespace termui {

class Pilot {
 public:
  explicit Pilot(App& app, Size size = {80, 24});
  ~Pilot();
  Pilot(const Pilot&) = delete;
  Pilot& operator=(const Pilot&) = delete;

  // Keys by name ("a", "enter", "ctrl+c", "space", "up"...), each handled before the next.
  void press(std::initializer_list<std::string_view> keys);
  void press(std::string_view key) { press({key}); }
  // Each character of `text` as a key press.
  void type(std::string_view text);
  void paste(std::string_view text);
  // Mouse at screen cells.
  void mouse_down(int x, int y, MouseButton button = MouseButton::left);
  void mouse_up(int x, int y, MouseButton button = MouseButton::left);
  void mouse_move(int x, int y, MouseButton button = MouseButton::left);
  void click(int x, int y);
  // Press at the first point, move through each cell column/row to the second, release there.
  void drag(int x0, int y0, int x1, int y1);
  void scroll_down(int x, int y, int times = 1);
  void scroll_up(int x, int y, int times = 1);
  void resize(Size size);
  // Bytes as the terminal would send them (answers to queries included), parsed by the App.
  void receive(std::string_view bytes);
  // Handles whatever other threads posted, due timers, and paints.
  void pause();

  [[nodiscard]] App& app() { return app_; }
  [[nodiscard]] std::vector<std::string> lines() const;
  [[nodiscard]] std::string text() const;  // rows joined by "\n", trailing spaces kept
  [[nodiscard]] const Cell& cell(int x, int y) const { return app_.screen_cells().at(x, y); }
  [[nodiscard]] const std::string& output() const { return driver_.output(); }
  [[nodiscard]] HeadlessDriver& driver() { return driver_; }

 private:
  void send(InputEvent event);
  void mouse(MouseAction action, int x, int y, MouseButton button);

  App& app_;
  HeadlessDriver driver_;
};

// The key event a key name stands for (printable names type their character).
[[nodiscard]] KeyEvent key_event(std::string_view name);

}  // namespace termui
