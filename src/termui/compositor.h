#pragma once
// Composes a laid-out widget tree into a cell buffer: each widget fills its region in its own
// style, draws its border and scroll bars, then its visible content rows (only those: nothing
// outside the screen is rendered), then its children, clipped to its content area.

#include "termui/cell_buffer.h"
#include "termui/geometry.h"

namespace termui {

class Widget;

void compose_widget(Widget& widget, CellBuffer& cells, const Region& clip);

}  // namespace termui
