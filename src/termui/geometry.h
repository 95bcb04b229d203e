#pragma once
// Plain value types for positions and rectangles in terminal cells.

namespace termui {

struct Size {
  int width = 0;
  int height = 0;
  friend bool operator==(const Size&, const Size&) = default;
};

struct Offset {
  int x = 0;
  int y = 0;
  friend bool operator==(const Offset&, const Offset&) = default;
};

struct Region {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;

  [[nodiscard]] bool contains(int px, int py) const {
    return px >= x && py >= y && px < x + width && py < y + height;
  }
  [[nodiscard]] Size size() const { return {width, height}; }
  [[nodiscard]] bool empty() const { return width <= 0 || height <= 0; }
  // The overlap of two regions; an empty region when they do not meet.
  [[nodiscard]] Region intersect(const Region& o) const {
    const int x0 = x > o.x ? x : o.x;
    const int y0 = y > o.y ? y : o.y;
    const int x1 = (x + width) < (o.x + o.width) ? (x + width) : (o.x + o.width);
    const int y1 = (y + height) < (o.y + o.height) ? (y + height) : (o.y + o.height);
    if (x1 <= x0 || y1 <= y0) return {x0, y0, 0, 0};
    return {x0, y0, x1 - x0, y1 - y0};
  }
  friend bool operator==(const Region&, const Region&) = default;
};

}  // namespace termui
