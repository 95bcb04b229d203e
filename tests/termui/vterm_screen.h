#pragma once
// A real terminal emulator (libvterm) for tests: feed it the bytes a frame writer produced and
// compare what it shows with the cells that were meant, text and colours.

#include <vterm.h>

#include <string>
#include <string_view>

#include "termui/cell_buffer.h"
#include "unicode/utf8.h"

namespace termui::testing {

class VtermScreen {
 public:
  VtermScreen(int cols, int rows) : vt_(vterm_new(rows, cols)) {
    vterm_set_utf8(vt_, 1);
    screen_ = vterm_obtain_screen(vt_);
    vterm_screen_reset(screen_, 1);
  }
  ~VtermScreen() { vterm_free(vt_); }
  VtermScreen(const VtermScreen&) = delete;
  VtermScreen& operator=(const VtermScreen&) = delete;

  void feed(std::string_view bytes) { vterm_input_write(vt_, bytes.data(), bytes.size()); }
  void resize(int cols, int rows) { vterm_set_size(vt_, rows, cols); }

  // "text|fg|bg|attrs" for one cell, in a form both sides can produce.
  [[nodiscard]] std::string describe(int x, int y) const {
    VTermScreenCell c{};
    vterm_screen_get_cell(screen_, VTermPos{y, x}, &c);
    std::string text;
    for (int i = 0; i < VTERM_MAX_CHARS_PER_CELL && c.chars[i] != 0; ++i) {
      unicode::append_utf8(text, static_cast<char32_t>(c.chars[i]));
    }
    if (text.empty()) text.assign(1, ' ');
    std::string attrs;
    if (c.attrs.bold) attrs += "b";
    if (c.attrs.italic) attrs += "i";
    if (c.attrs.underline) attrs += "u";
    if (c.attrs.reverse) attrs += "r";
    if (c.attrs.strike) attrs += "s";
    return text + "|" + colour(c.fg, true) + "|" + colour(c.bg, false) + "|" + attrs;
  }

  // The same description of an intended cell.
  [[nodiscard]] static std::string describe(const Cell& cell) {
    using styled::Attr;
    const styled::Style& s = cell.style;
    std::string attrs;
    if (s.has(Attr::bold)) attrs += "b";
    if (s.has(Attr::italic)) attrs += "i";
    if (s.has(Attr::underline)) attrs += "u";
    if (s.has(Attr::reverse)) attrs += "r";
    if (s.has(Attr::strike)) attrs += "s";
    return cell.text + "|" + colour(s.fg()) + "|" + colour(s.bg()) + "|" + attrs;
  }

 private:
  static std::string colour(const VTermColor& c, bool fg) {
    if (fg ? VTERM_COLOR_IS_DEFAULT_FG(&c) : VTERM_COLOR_IS_DEFAULT_BG(&c)) return "default";
    if (VTERM_COLOR_IS_INDEXED(&c)) return "idx" + std::to_string(c.indexed.idx);
    char buf[8];
    std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.rgb.red, c.rgb.green, c.rgb.blue);
    return buf;
  }
  static std::string colour(const styled::Color& c) {
    switch (c.kind()) {
      case styled::Color::Kind::none:
      case styled::Color::Kind::default_color:
        return "default";
      case styled::Color::Kind::standard:
      case styled::Color::Kind::palette:
        return "idx" + std::to_string(c.index());
      case styled::Color::Kind::rgb: {
        char buf[8];
        std::snprintf(buf, sizeof buf, "#%02x%02x%02x", c.r(), c.g(), c.b());
        return buf;
      }
    }
    return "?";
  }

  VTerm* vt_;
  VTermScreen* screen_;
};

}  // namespace termui::testing
