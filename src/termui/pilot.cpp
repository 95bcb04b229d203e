#include "termui/pilot.h"

#include "unicode/utf8.h"

namespace termui {

KeyEvent key_event(std::string_view name) {
  if (name == "space") return {"space", " "};
  if (name == "tab") return {"tab", "\t"};
  if (unicode::cp_count(name) == 1 && static_cast<unsigned char>(name[0]) >= 0x20) {
    return {std::string(name), std::string(name)};
  }
  return {std::string(name), ""};
}

Pilot::Pilot(App& app, Size size) : app_(app), driver_(size) {
  try {
    app_.start(driver_);
    pause();
  } catch (...) {
    app_.stop();  // the driver dies with this half-built Pilot
    throw;
  }
}

Pilot::~Pilot() {
  app_.stop();
}

void Pilot::pause() {
  // Handlers may post more messages; settle, but never spin forever on a self-feeding loop.
  for (int round = 0; round < 1000; ++round) {
    app_.process_messages();
    app_.run_timers();
    app_.collect_garbage();
    app_.render_frame();
    if (app_.exiting() || !app_.has_pending_messages()) break;
  }
}

void Pilot::send(InputEvent event) {
  if (app_.exiting()) return;
  app_.dispatch(std::move(event));
  pause();
}

void Pilot::receive(std::string_view bytes) {
  if (app_.exiting()) return;
  app_.receive(bytes, app_.now());
  pause();
}

void Pilot::press(std::initializer_list<std::string_view> keys) {
  for (auto k : keys) send(key_event(k));
}

void Pilot::type(std::string_view text) {
  unicode::for_each_cp(text, [&](char32_t cp, std::size_t, std::size_t) {
    std::string ch;
    unicode::append_utf8(ch, cp);
    send(key_event(ch == " " ? std::string("space") : ch));
  });
}

void Pilot::paste(std::string_view text) {
  send(PasteEvent{std::string(text)});
}

void Pilot::mouse(MouseAction action, int x, int y, MouseButton button) {
  MouseEvent m;
  m.action = action;
  m.button = button;
  m.screen_x = x;
  m.screen_y = y;
  send(m);
}

void Pilot::mouse_down(int x, int y, MouseButton b) {
  mouse(MouseAction::down, x, y, b);
}
void Pilot::mouse_up(int x, int y, MouseButton b) {
  mouse(MouseAction::up, x, y, b);
}
void Pilot::mouse_move(int x, int y, MouseButton b) {
  mouse(MouseAction::move, x, y, b);
}

void Pilot::click(int x, int y) {
  mouse_down(x, y);
  mouse_up(x, y);
}

void Pilot::drag(int x0, int y0, int x1, int y1) {
  mouse_down(x0, y0);
  int x = x0, y = y0;
  while (x != x1 || y != y1) {
    if (x != x1) x += x1 > x ? 1 : -1;
    if (y != y1) y += y1 > y ? 1 : -1;
    mouse_move(x, y);
  }
  mouse_up(x1, y1);
}

void Pilot::scroll_down(int x, int y, int times) {
  for (int i = 0; i < times; ++i) mouse(MouseAction::scroll_down, x, y, MouseButton::none);
}

void Pilot::scroll_up(int x, int y, int times) {
  for (int i = 0; i < times; ++i) mouse(MouseAction::scroll_up, x, y, MouseButton::none);
}

void Pilot::resize(Size size) {
  driver_.resize(size);
  driver_.drain_resize();
  app_.handle_resize(size);
  pause();
}

std::vector<std::string> Pilot::lines() const {
  std::vector<std::string> out;
  const CellBuffer& cells = app_.screen_cells();
  for (int y = 0; y < cells.height(); ++y) out.push_back(cells.row_text(y));
  return out;
}

std::string Pilot::text() const {
  std::string out;
  const auto rows = lines();
  for (std::size_t i = 0; i < rows.size(); ++i) {
    if (i) out += '\n';
    out += rows[i];
  }
  return out;
}

}  // namespace termui
