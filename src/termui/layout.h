#pragma once
// Places a widget tree: docked-top children first, then the rest stacked vertically with sizes
// in cells, fr, auto or percent, aligned inside the content area; borders, padding and scroll
// bars taken off each widget's region to give its content area.

#include "termui/geometry.h"

namespace termui {

class Widget;

// Thickness defaults when the CSS does not set scrollbar-size.
inline constexpr int DEFAULT_SCROLLBAR_V = 2;
inline constexpr int DEFAULT_SCROLLBAR_H = 1;

void layout_widget(Widget& widget, const Region& outer);

// Whether the scroll bars the layout gave `widget` no longer fit its content (an `auto` bar that
// should now show or hide), so that the widget must be laid out again before it is drawn.
[[nodiscard]] bool bars_outdated(const Widget& widget);

// Height `widget` takes when its height is `auto`, at an outer width.
[[nodiscard]] int auto_height(Widget& widget, int outer_width);

}  // namespace termui
