#pragma once
// A picture of the screen as SVG, the way terminal screenshots go into READMEs: every cell's
// text in its colours, bold, italic, underline and strike, on its background, in a monospace
// font, inside a window frame. Text is XML-escaped; cells never hold controls.

#include <string>

#include "styled/light_palette.h"
#include "termui/cell_buffer.h"

namespace host::tui {

[[nodiscard]] std::string screen_svg(const termui::CellBuffer& screen,
                                     styled::ColorScheme scheme = styled::ColorScheme::dark);

}  // namespace host::tui
