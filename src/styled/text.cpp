#include "styled/text.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <set>

#include "unicode/ascii_scan.h"
#include "unicode/text_ops.h"
#include "unicode/width.h"

namespace styled {

namespace {

// True when every byte is printable ASCII or a line feed: nothing to clean, no tabs.
bool plain_ascii(std::string_view s) {
  for (std::size_t i = 0;; ++i) {
    i = unicode::ascii_run_end(s, i, s.size(), 0x20);
    if (i == s.size()) return true;
    if (s[i] != '\n') return false;
  }
}

// The position of the last line feed in `s`, or npos.
std::size_t last_line_feed(std::string_view s) {
  const void* p = s.empty() ? nullptr : memrchr(s.data(), '\n', s.size());
  return p == nullptr ? std::string_view::npos
                      : static_cast<std::size_t>(static_cast<const char*>(p) - s.data());
}

}  // namespace

Text::Text(std::string_view text, const Style& style) {
  append(text, style);
}

Text::Text(std::string_view text, std::string_view style) : Text(text, Style::parse(style)) {}

Text Text::one_line() {
  Text t;
  t.set_no_wrap(true).set_overflow(Overflow::ellipsis);
  return t;
}

Text& Text::append(std::string_view text, std::string_view style) {
  return append(text, Style::parse(style));
}

Text& Text::append(std::string_view text, const Style& style) {
  if (text.empty()) return *this;
  if (plain_ascii(text)) {
    append_clean(text, style);
    return *this;
  }
  // Text without controls (most non-ASCII text) is appended as it is, without a copy.
  std::string visible;
  std::string_view clean = text;
  if (unicode::has_controls(text)) {
    visible = unicode::visible_controls(text);
    clean = visible;
  }
  if (clean.find('\t') == std::string_view::npos) {
    append_clean(clean, style);
    return *this;
  }
  // Tabs advance to the next multiple of 8 cells, counted from the start of their line.
  const std::size_t from = col_at_ >= line_start_ ? col_at_ : line_start_;
  std::size_t col = (col_at_ >= line_start_ ? col_ : 0) +
                    unicode::str_width(std::string_view(plain_).substr(from));
  std::string expanded;
  expanded.reserve(clean.size() + 16);
  for (std::size_t pos = 0; pos < clean.size();) {
    const char c = clean[pos];
    if (c == '\t') {
      const std::size_t n = 8 - col % 8;
      expanded.append(n, ' ');
      col += n;
      ++pos;
    } else if (c == '\n') {
      expanded += c;
      col = 0;
      ++pos;
    } else {
      const unicode::Grapheme g = unicode::grapheme_at(clean, pos);
      // A cluster never holds a tab or line feed (both are controls, which break clusters).
      expanded.append(clean, pos, g.len);
      col += static_cast<std::size_t>(g.width);
      pos += g.len;
    }
  }
  append_clean(expanded, style);
  col_at_ = static_cast<std::uint32_t>(plain_.size());
  col_ = static_cast<std::uint32_t>(col);
  return *this;
}

void Text::append_clean(std::string_view clean, const Style& style) {
  const auto start = static_cast<std::uint32_t>(plain_.size());
  plain_ += clean;
  if (const std::size_t nl = last_line_feed(clean); nl != std::string_view::npos) {
    line_start_ = static_cast<std::uint32_t>(start + nl + 1);
  }
  if (style.is_null()) return;
  const auto end = static_cast<std::uint32_t>(plain_.size());
  if (!spans_.empty() && spans_ordered_ && spans_.back().end == start &&
      spans_.back().style == style) {
    spans_.back().end = end;
    return;
  }
  if (!spans_.empty() && spans_.back().end > start) spans_ordered_ = false;
  spans_.push_back(Span{start, end, style});
}

Text& Text::append(const Text& other) {
  const auto offset = static_cast<std::uint32_t>(plain_.size());
  // The other text's base style covers its own part of this one.
  if (!other.base_.is_null() && !other.plain_.empty()) {
    if (!spans_.empty() && spans_.back().end > offset) spans_ordered_ = false;
    spans_.push_back(
        Span{offset, offset + static_cast<std::uint32_t>(other.plain_.size()), other.base_});
    if (!other.spans_.empty()) spans_ordered_ = false;
  }
  plain_ += other.plain_;
  if (const std::size_t nl = other.plain_.rfind('\n'); nl != std::string::npos) {
    line_start_ = static_cast<std::uint32_t>(offset + nl + 1);
  }
  for (const Span& s : other.spans_) {
    const Span shifted{s.start + offset, s.end + offset, s.style};
    if (!spans_.empty() && spans_.back().end > shifted.start) spans_ordered_ = false;
    spans_.push_back(shifted);
  }
  if (!other.spans_ordered_) spans_ordered_ = false;
  return *this;
}

void Text::clear() {
  std::string plain = std::move(plain_);
  std::vector<Span> spans = std::move(spans_);
  *this = Text();
  plain.clear();
  spans.clear();
  plain_ = std::move(plain);
  spans_ = std::move(spans);
}

Text& Text::stylize(const Style& style, std::size_t start, std::size_t end) {
  end = std::min(end, plain_.size());
  if (start >= end || style.is_null()) return *this;
  if (!spans_.empty() && spans_.back().end > start) spans_ordered_ = false;
  spans_.push_back(Span{static_cast<std::uint32_t>(start), static_cast<std::uint32_t>(end), style});
  return *this;
}

std::size_t Text::cell_length() const {
  return unicode::widest_piece_width(plain_, "\n");
}

namespace {

void push_run(std::vector<StyleRun>& runs, std::uint32_t start, std::uint32_t end,
              const Style& style) {
  if (start >= end) return;
  if (!runs.empty() && runs.back().style == style && runs.back().end == start) {
    runs.back().end = end;
  } else {
    runs.push_back(StyleRun{start, end, style});
  }
}

// Overlapping spans: sweep their boundaries. For every field (each attribute, fg, bg) the
// active span with the highest index that sets it decides, which equals applying the active
// spans in order, at O(log n) per boundary however deep the nesting.
void sweep_runs(const std::string& plain, const std::vector<Span>& spans, const Style& base,
                std::vector<StyleRun>& runs) {
  struct Event {
    std::uint32_t pos;
    bool open;
    std::uint32_t index;
  };
  std::vector<Event> events;
  events.reserve(spans.size() * 2);
  for (std::uint32_t i = 0; i < spans.size(); ++i) {
    if (spans[i].start >= spans[i].end) continue;
    events.push_back({spans[i].start, true, i});
    events.push_back({spans[i].end, false, i});
  }
  std::sort(events.begin(), events.end(),
            [](const Event& a, const Event& b) { return a.pos < b.pos; });
  constexpr int FIELDS = 9;  // 7 attributes, fg, bg
  std::array<std::set<std::uint32_t>, FIELDS> active;
  auto fields_of = [&](const Style& s, auto&& f) {
    for (int bit = 0; bit < 7; ++bit) {
      if (s.set_bits() & (1u << bit)) f(bit);
    }
    if (s.fg().is_set()) f(7);
    if (s.bg().is_set()) f(8);
  };
  auto combined = [&] {
    Style s = base;
    for (int bit = 0; bit < 7; ++bit) {
      if (active[bit].empty()) continue;
      const Style& from = spans[*active[bit].rbegin()].style;
      const auto a = static_cast<Attr>(1u << bit);
      s = s.with(a, from.has(a));
    }
    if (!active[7].empty()) s = s.with_fg(spans[*active[7].rbegin()].style.fg());
    if (!active[8].empty()) s = s.with_bg(spans[*active[8].rbegin()].style.bg());
    return s;
  };
  std::uint32_t pos = 0;
  Style current = base;
  for (std::size_t e = 0; e < events.size();) {
    const std::uint32_t at = events[e].pos;
    push_run(runs, pos, at, current);
    pos = at;
    for (; e < events.size() && events[e].pos == at; ++e) {
      const Event& ev = events[e];
      fields_of(spans[ev.index].style, [&](int f) {
        if (ev.open) {
          active[f].insert(ev.index);
        } else {
          active[f].erase(ev.index);
        }
      });
    }
    current = combined();
  }
  push_run(runs, pos, static_cast<std::uint32_t>(plain.size()), current);
}

}  // namespace

std::vector<StyleRun> Text::runs() const {
  std::vector<StyleRun> out;
  runs_into(out);
  return out;
}

void Text::runs_into(std::vector<StyleRun>& runs) const {
  runs.clear();
  if (!spans_ordered_) {
    sweep_runs(plain_, spans_, base_, runs);
    return;
  }
  runs.reserve(spans_.size() * 2 + 1);
  std::uint32_t pos = 0;
  for (const Span& s : spans_) {
    const std::uint32_t start = std::max(s.start, pos);
    push_run(runs, pos, start, base_);
    push_run(runs, start, s.end, base_ + s.style);
    pos = std::max(pos, s.end);
  }
  push_run(runs, pos, static_cast<std::uint32_t>(plain_.size()), base_);
}

}  // namespace styled
