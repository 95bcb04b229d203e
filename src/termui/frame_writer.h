#pragma once
// Encodes the difference between what the terminal shows and the next frame: only changed
// cells are written, the cursor is moved only where output jumps, and the style is changed only
// where it differs from the pen. The whole frame is one string wrapped in synchronized output
// (mode 2026), so the terminal never shows half a frame.

#include <string>
#include <string_view>
#include <vector>

#include "styled/light_palette.h"
#include "styled/sgr.h"
#include "termui/cell_buffer.h"

namespace termui {

class FrameWriter {
 public:
  static constexpr std::string_view SYNC_BEGIN = "\x1b[?2026h";
  static constexpr std::string_view SYNC_END = "\x1b[?2026l";

  // The bytes that turn `shown` into `next` (same size). With `full`, the screen is cleared
  // first and `shown` is not looked at. Empty when nothing changed. The view stays valid until
  // the next call.
  // With `rows`, only rows flagged non-zero are compared (the others are known unchanged).
  // With `scroll` > 0 the terminal is first scrolled up by that many rows (its bottom rows
  // come in blank); `shown` must already be scrolled the same way.
  std::string_view frame(const CellBuffer& shown, const CellBuffer& next, bool full,
                         const std::vector<char>* rows = nullptr, int scroll = 0);

  // How colours are shown: as the cells say (dark), or remapped for a light background. The
  // next frame should be a full one: what is on screen was written the other way.
  void set_color_scheme(styled::ColorScheme scheme) { scheme_ = scheme; }
  [[nodiscard]] styled::ColorScheme color_scheme() const { return scheme_; }

  // Whether cells whose style carries a link are written inside an OSC 8 hyperlink (on by
  // default); without, the same text is written plain. A link never stays open past a frame.
  void set_hyperlinks(bool on) { hyperlinks_ = on; }
  [[nodiscard]] bool hyperlinks() const { return hyperlinks_; }

 private:
  // A cell's style as it is written under the colour scheme.
  styled::Style as_written(const styled::Style& style);
  void move_to(int x, int y);
  void open_link(std::uint16_t link);
  void skip_to(const CellBuffer& next, int x, int y);

  std::string out_;
  styled::SgrTransitions transitions_;
  styled::Style pen_;  // as written, after the colour scheme
  styled::ColorScheme scheme_ = styled::ColorScheme::dark;
  styled::LightPalette light_;
  bool hyperlinks_ = true;
  std::uint16_t link_ = 0;  // the link the terminal is writing now, 0 for none
  int cx_ = -1, cy_ = -1;   // cursor position, -1 when unknown
};

}  // namespace termui
