#include "styled/segment.h"

#include "unicode/width.h"

namespace styled {

std::size_t Segment::cell_length() const {
  return unicode::str_width(text);
}

void Line::push(std::string_view text, const Style& style) {
  push(text, style, unicode::str_width(text));
}

void Line::push(std::string_view text, const Style& style, std::size_t width) {
  if (text.empty()) return;
  if (!segments.empty() && segments.back().style == style) {
    segments.back().text += text;
  } else {
    segments.push_back(Segment{std::string(text), style});
  }
  cells += width;
}

void Line::append(const Line& other) {
  for (const auto& seg : other.segments) {
    if (!segments.empty() && segments.back().style == seg.style) {
      segments.back().text += seg.text;
    } else {
      segments.push_back(seg);
    }
  }
  cells += other.cells;
}

std::string Line::text() const {
  std::string out;
  for (const auto& seg : segments) out += seg.text;
  return out;
}

void pad_line(Line& line, std::size_t width, const Style& style) {
  if (line.cells >= width) return;
  const std::size_t n = width - line.cells;
  if (!line.segments.empty() && line.segments.back().style == style) {
    line.segments.back().text.append(n, ' ');
  } else {
    line.segments.push_back(Segment{std::string(n, ' '), style});
  }
  line.cells = width;
}

void crop_line(Line& line, std::size_t width) {
  if (line.cells <= width) return;
  std::size_t used = 0;
  std::size_t keep = 0;
  for (; keep < line.segments.size() && used < width; ++keep) {
    Segment& seg = line.segments[keep];
    const std::string& t = seg.text;
    std::size_t pos = 0;
    while (pos < t.size()) {
      const unicode::Grapheme g = unicode::grapheme_at(t, pos);
      if (used + static_cast<std::size_t>(g.width) > width) break;
      used += static_cast<std::size_t>(g.width);
      pos += g.len;
    }
    if (pos < t.size()) {
      seg.text.resize(pos);
      if (used < width) {
        seg.text.append(width - used, ' ');
        used = width;
      }
      ++keep;
      break;
    }
  }
  line.segments.resize(keep);
  while (!line.segments.empty() && line.segments.back().text.empty()) line.segments.pop_back();
  line.cells = used;
}

}  // namespace styled
