#include "termui/layout.h"

#include <algorithm>
#include <cmath>

#include "termui/widget.h"

namespace termui {
namespace {

// What border, padding and scroll bars take off each side of the outer region, and where the
// border and bars go. The one place that decides whether a bar shows: the vertical bar of
// `overflow-y: auto` when the content has more rows than the content area (`rows` is the
// outer height; auto heights pass a huge one, so they never need the bar).
struct Edges {
  int top = 0, right = 0, bottom = 0, left = 0;
  int bar_v = 0, bar_h = 0;  // thickness of the bars that show
  bool border = false;
};

Edges edges(const Widget& w, int rows) {
  const Styles& st = w.styles();
  Edges e;
  e.border = st.border_color.has_value();
  const int border = e.border ? 1 : 0;
  const Spacing pad = st.padding.value_or(Spacing{});
  if (st.overflow_x.value_or(Overflow::hidden) == Overflow::scroll) {
    e.bar_h = std::max(0, st.scrollbar_h.value_or(DEFAULT_SCROLLBAR_H));
  }
  e.top = border + pad.top;
  e.bottom = border + pad.bottom + e.bar_h;
  e.left = border + pad.left;
  const Overflow oy = st.overflow_y.value_or(Overflow::hidden);
  if (oy == Overflow::scroll ||
      (oy == Overflow::automatic && w.scroll_total() > rows - e.top - e.bottom)) {
    e.bar_v = std::max(0, st.scrollbar_v.value_or(DEFAULT_SCROLLBAR_V));
  }
  e.right = border + pad.right + e.bar_v;
  return e;
}

int resolve(const Scalar& s, int available) {
  switch (s.unit) {
    case Scalar::Unit::cells:
      return static_cast<int>(s.value);
    case Scalar::Unit::percent:
      return static_cast<int>(std::floor(available * s.value / 100.0));
    default:
      return available;
  }
}

int width_of(const Widget& w, int available) {
  const auto& width = w.styles().width;
  if (!width || width->unit == Scalar::Unit::fr || width->unit == Scalar::Unit::automatic)
    return available;
  return std::clamp(resolve(*width, available), 0, std::max(available, 0));
}

}  // namespace

bool bars_outdated(const Widget& w) {
  const Edges e = edges(w, w.region().height);
  // A bar's thickness is kept even where it has no length to show.
  return (e.bar_v > 0) != (w.chrome().vertical_bar.width > 0) ||
         (e.bar_h > 0) != (w.chrome().horizontal_bar.height > 0);
}

int auto_height(Widget& w, int outer_width) {
  const Edges c = edges(w, 1 << 30);
  const int inner = std::max(0, outer_width - c.left - c.right);
  return c.top + c.bottom + w.content_height(inner);
}

void layout_widget(Widget& w, const Region& outer_in) {
  Region outer = outer_in;
  outer.width = std::max(0, outer.width);
  outer.height = std::max(0, outer.height);
  const Edges c = edges(w, outer.height);
  Region content{outer.x + c.left, outer.y + c.top, std::max(0, outer.width - c.left - c.right),
                 std::max(0, outer.height - c.top - c.bottom)};
  // The bars run along the content area, inside the border.
  const int border = c.border ? 1 : 0;
  Chrome chrome{c.border, {}, {}};
  if (c.bar_v > 0) {
    chrome.vertical_bar = {outer.x + outer.width - border - c.bar_v, content.y, c.bar_v,
                           content.height};
  }
  if (c.bar_h > 0) {
    chrome.horizontal_bar = {content.x, outer.y + outer.height - border - c.bar_h, content.width,
                             c.bar_h};
  }
  w.set_region(outer, content, chrome);
  if (w.children().empty()) return;

  Region area = content;
  std::vector<Widget*> flow;
  for (const auto& child : w.children()) {
    Widget& ch = *child;
    if (ch.styles().dock_top.value_or(false)) {
      const int cw = width_of(ch, area.width);
      const auto& h = ch.styles().height;
      int hh =
          !h || h->unit == Scalar::Unit::automatic ? auto_height(ch, cw) : resolve(*h, area.height);
      hh = std::clamp(hh, 0, area.height);
      layout_widget(ch, {area.x, area.y, cw, hh});
      area.y += hh;
      area.height -= hh;
    } else {
      flow.push_back(&ch);
    }
  }

  // Fixed, percent and auto heights first; fr units share what is left.
  std::vector<int> heights(flow.size(), 0);
  std::vector<int> widths(flow.size(), 0);
  int used = 0;
  double fr_total = 0;
  for (std::size_t i = 0; i < flow.size(); ++i) {
    Widget& ch = *flow[i];
    widths[i] = width_of(ch, area.width);
    const auto& h = ch.styles().height;
    if (h && h->unit == Scalar::Unit::fr) {
      fr_total += h->value;
    } else {
      heights[i] = !h || h->unit == Scalar::Unit::automatic ? auto_height(ch, widths[i])
                                                            : resolve(*h, area.height);
      heights[i] = std::max(0, heights[i]);
      used += heights[i];
    }
  }
  if (fr_total > 0) {
    const int left = std::max(0, area.height - used);
    int given = 0;
    int last_fr = -1;
    for (std::size_t i = 0; i < flow.size(); ++i) {
      const auto& h = flow[i]->styles().height;
      if (h && h->unit == Scalar::Unit::fr) {
        heights[i] = static_cast<int>(std::floor(left * h->value / fr_total));
        given += heights[i];
        last_fr = static_cast<int>(i);
      }
    }
    if (last_fr >= 0) heights[last_fr] += left - given;  // rounding remainder to the last
    used += left;
  }

  const Styles& st = w.styles();
  int y = area.y;
  const AlignV av = st.align_v.value_or(AlignV::top);
  if (used < area.height && av == AlignV::middle) y += (area.height - used) / 2;
  // Bottom alignment anchors the stack to the bottom even when it is taller than the area:
  // its first rows then lie above the area, out of view (and are never rendered).
  if (av == AlignV::bottom) y += area.height - used;
  const AlignH ah = st.align_h.value_or(AlignH::left);
  for (std::size_t i = 0; i < flow.size(); ++i) {
    int x = area.x;
    if (ah == AlignH::center) x += std::max(0, (area.width - widths[i]) / 2);
    if (ah == AlignH::right) x += std::max(0, area.width - widths[i]);
    layout_widget(*flow[i], {x, y, widths[i], heights[i]});
    y += heights[i];
  }
}

}  // namespace termui
