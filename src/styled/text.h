#pragma once
// Text = plain UTF-8 text + style spans + a base style, with its wrapping options. A value type.
//
//   Text t;                                        // empty
//   t.append("❯ ", Style::parse("bold #5f87ff"));  // or t.append("❯ ", "bold #5f87ff")
//   t.append(prompt, "bold white");
//   Text one_line = Text::one_line();              // no_wrap + ellipsis
//   Lines lines = t.wrap(80);                      // rows of segments, not padded
//   Text::from_ansi("\x1b[1mhi\x1b[0m"), Text::from_markup("[bold]1.[/] Fast")
//
// Everything added is made safe for a terminal on the way in: invalid UTF-8 becomes U+FFFD,
// control characters other than line feed and tab become visible symbols (ESC shows as ␛),
// and tabs are expanded to spaces up to the next multiple of 8 cells of their line.
//
// Rendering: a line feed starts a new row. With wrapping (the default) rows break at spaces,
// the spaces at a break are dropped, and a word wider than the width is folded at the width.
// With no_wrap the row is cut at the width ("crop") or cut to width − 1 cells and ended with
// "…" ("ellipsis"). Widths are terminal cells: wide = 2, combining = 0, emoji sequences as
// one cluster.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "styled/renderable.h"
#include "styled/segment.h"
#include "styled/style.h"

namespace styled {

enum class Overflow : std::uint8_t { fold, crop, ellipsis };
enum class Justify : std::uint8_t { left, center, right };

// A style over the byte range [start, end) of Text::plain(). Later spans win over earlier ones
// where they overlap.
struct Span {
  std::uint32_t start;
  std::uint32_t end;
  Style style;
  friend bool operator==(const Span&, const Span&) = default;
};

// A maximal range of bytes [start, end) of the plain text that shows one combined style.
struct StyleRun {
  std::uint32_t start;
  std::uint32_t end;
  Style style;
  friend bool operator==(const StyleRun&, const StyleRun&) = default;
};

class Text : public Renderable {
 public:
  Text() = default;
  explicit Text(std::string_view text, const Style& style = {});
  Text(std::string_view text, std::string_view style);

  // An empty text that never wraps and ends in "…" when cut.
  [[nodiscard]] static Text one_line();
  // SGR sequences become spans; every other escape sequence is dropped. With `links`, OSC 8
  // hyperlinks become the spans' links too (their targets interned in safe form, styled/link.h):
  // only for ANSI this program wrote itself, such as a Console's with hyperlinks on.
  [[nodiscard]] static Text from_ansi(std::string_view ansi, bool links = false);
  // "[bold red]…[/]" markup; never throws (see markup.cpp for the rules).
  [[nodiscard]] static Text from_markup(std::string_view markup);

  Text& append(std::string_view text, const Style& style = {});
  Text& append(std::string_view text, std::string_view style);
  Text& append(const Text& other);
  // Back to an empty text with default options, keeping the memory it had (for a Text that is
  // filled again and again).
  void clear();
  // Adds a span over bytes [start, end) of plain() (clamped to the text).
  Text& stylize(const Style& style, std::size_t start, std::size_t end);

  [[nodiscard]] const std::string& plain() const { return plain_; }
  [[nodiscard]] const std::vector<Span>& spans() const { return spans_; }
  [[nodiscard]] bool empty() const { return plain_.empty(); }
  [[nodiscard]] std::size_t cell_length() const;

  [[nodiscard]] const Style& base_style() const { return base_; }
  Text& set_base_style(const Style& s) {
    base_ = s;
    return *this;
  }
  [[nodiscard]] bool no_wrap() const { return no_wrap_; }
  Text& set_no_wrap(bool v) {
    no_wrap_ = v;
    return *this;
  }
  [[nodiscard]] Overflow overflow() const { return overflow_; }
  Text& set_overflow(Overflow o) {
    overflow_ = o;
    return *this;
  }
  [[nodiscard]] Justify justify() const { return justify_; }
  Text& set_justify(Justify j) {
    justify_ = j;
    return *this;
  }

  // The combined style of every byte, as maximal runs covering the whole plain text.
  [[nodiscard]] std::vector<StyleRun> runs() const;
  // The same, into `out` (cleared first; its memory is reused).
  void runs_into(std::vector<StyleRun>& out) const;

  // Rows at `width` cells (at least 1). Rows are padded only when justified center/right.
  [[nodiscard]] Lines wrap(int width) const;
  void wrap_into(int width, Lines& out) const;
  // The same, with `runs` as memory for the style runs (a caller that wraps many texts keeps
  // it from one to the next: Console::wrap_memory).
  void wrap_into(int width, Lines& out, std::vector<StyleRun>& runs) const;
  void render(const Console& console, int width, Lines& out) const override;

 private:
  void append_clean(std::string_view clean, const Style& style);

  std::string plain_;
  std::vector<Span> spans_;
  Style base_;
  bool no_wrap_ = false;
  bool spans_ordered_ = true;  // spans sorted and disjoint: runs need no sweep
  // Where the last line of plain_ starts, and a known cell column within it, so that tab
  // stops cost no rescan of a long line.
  std::uint32_t line_start_ = 0;
  std::uint32_t col_at_ = 0;
  std::uint32_t col_ = 0;
  Overflow overflow_ = Overflow::fold;
  Justify justify_ = Justify::left;
};

}  // namespace styled
