#include "termui/compositor.h"

#include <algorithm>
#include <cmath>

#include "termui/widget.h"

namespace termui {
namespace {

const styled::Style TRACK = styled::Style().with_bg(styled::Color::rgb(0x2b, 0x2b, 0x2b));
const styled::Style THUMB = styled::Style().with_bg(styled::Color::rgb(0x60, 0x60, 0x60));

void draw_border(const Widget& w, CellBuffer& cells, const Region& clip) {
  const Region& r = w.region();
  if (r.width < 2 || r.height < 2) return;
  const styled::Style st = w.border_style();
  const int right = r.x + r.width - 1;
  const int bottom = r.y + r.height - 1;
  auto put = [&](int x, int y, const char* g) {
    if (clip.contains(x, y)) cells.put_cell(x, y, g, st);
  };
  put(r.x, r.y, "╭");
  put(right, r.y, "╮");
  put(r.x, bottom, "╰");
  put(right, bottom, "╯");
  for (int x = r.x + 1; x < right; ++x) {
    put(x, r.y, "─");
    put(x, bottom, "─");
  }
  for (int y = r.y + 1; y < bottom; ++y) {
    put(r.x, y, "│");
    put(right, y, "│");
  }
}

void draw_vertical_bar(const Widget& w, CellBuffer& cells, const Region& clip) {
  const Region& bar = w.chrome().vertical_bar;
  if (bar.empty()) return;
  const int total = w.scroll_total();
  const int h = bar.height;
  int thumb_start = 0, thumb_len = h;
  if (total > h) {
    thumb_len = std::max(1, static_cast<int>(std::lround(double(h) * h / total)));
    const int range = total - h;
    const int pos = std::clamp(w.scroll_position(), 0, range);
    thumb_start = static_cast<int>(std::lround(double(h - thumb_len) * pos / range));
  }
  for (int i = 0; i < h; ++i) {
    const styled::Style s = (i >= thumb_start && i < thumb_start + thumb_len) ? THUMB : TRACK;
    for (int x = bar.x; x < bar.x + bar.width; ++x) {
      if (clip.contains(x, bar.y + i)) cells.put_cell(x, bar.y + i, " ", s);
    }
  }
}

void draw_horizontal_bar(const Widget& w, CellBuffer& cells, const Region& clip) {
  const Region& bar = w.chrome().horizontal_bar;
  // Nothing scrolls sideways (lines are fitted to the width), so the thumb fills the track.
  for (int y = bar.y; y < bar.y + bar.height; ++y) {
    for (int x = bar.x; x < bar.x + bar.width; ++x) {
      if (clip.contains(x, y)) cells.put_cell(x, y, " ", THUMB);
    }
  }
}

}  // namespace

void compose_widget(Widget& w, CellBuffer& cells, const Region& clip_in, bool force,
                    std::vector<char>& rows) {
  Widget::PaintCache& cache = w.paint_cache();
  const Region clip = w.region().intersect(clip_in);
  // A bar that came or went changes the content area inside an unchanged region.
  bool moved =
      !(cache.region == w.region()) || !(cache.clip == clip) || !(cache.chrome == w.chrome());
  // A child that moved may uncover cells only our background covers.
  for (const auto& child : w.children()) {
    moved = moved || !(child->paint_cache().region == child->region());
  }
  force = force || moved;
  const bool repaint = force || cache.dirty;
  cache.region = w.region();
  cache.clip = clip;
  cache.chrome = w.chrome();
  cache.dirty = false;
  if (clip.empty()) {
    cache.rows.clear();
    for (const auto& child : w.children()) compose_widget(*child, cells, clip, force, rows);
    return;
  }
  const auto mark = [&rows](int y0, int height) {
    for (int y = std::max(0, y0); y < y0 + height && y < static_cast<int>(rows.size()); ++y) {
      rows[static_cast<std::size_t>(y)] = 1;
    }
  };
  const styled::Style base = w.base_style();
  const Region content = w.content_region().intersect(clip);
  if (force) {
    cells.fill(clip, base);
    mark(clip.y, clip.height);
    if (w.chrome().border) draw_border(w, cells, clip);
    cache.rows.clear();
  }
  bool drew = false;
  if (repaint) {
    draw_vertical_bar(w, cells, clip);
    draw_horizontal_bar(w, cells, clip);
    if (!w.chrome().vertical_bar.empty() || !w.chrome().horizontal_bar.empty()) {
      mark(clip.y, clip.height);  // the thumb may have moved
    }
    cache.rows.resize(static_cast<std::size_t>(std::max(0, clip.height)));
    const int limit = content.x + content.width;
    for (int y = content.y; y < content.y + content.height; ++y) {
      Strip strip = w.render_line(y - w.content_region().y);
      Strip& drawn = cache.rows[static_cast<std::size_t>(y - clip.y)];
      if (!force && strip == drawn) continue;
      if (!force) cells.fill({content.x, y, content.width, 1}, base);
      mark(y, 1);
      drew = true;
      // A row shorter than the content area leaves the rest in the background filled above.
      int x = w.content_region().x;
      strip.for_each_segment([&](std::string_view text, const styled::Style& style) {
        if (x < limit) x = cells.put_text(x, y, text, base + style, limit);
      });
      drawn = std::move(strip);
    }
  }
  // Children sit on top of our rows: any row we drew again must get them drawn again too.
  for (const auto& child : w.children()) {
    compose_widget(*child, cells, content, force || drew, rows);
  }
}

}  // namespace termui
