#pragma once
// Composes a laid-out widget tree into a cell buffer that keeps the last frame: a widget that
// moved (or whose children moved) fills its region in its own style and draws its border, a
// widget that was refreshed draws its scroll bars and those of its visible content rows whose
// strip differs from the one drawn last time (nothing outside the screen is ever rendered),
// then its children, clipped to its content area. Rows that were drawn are flagged in
// `rows`, so only they need diffing.

#include <vector>

#include "termui/cell_buffer.h"
#include "termui/geometry.h"

namespace termui {

class Widget;

// `force` redraws everything (first frame, resize, another screen).
void compose_widget(Widget& widget, CellBuffer& cells, const Region& clip, bool force,
                    std::vector<char>& rows);

}  // namespace termui
