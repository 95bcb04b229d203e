#pragma once
// Terminal cell widths (East Asian wide = 2, combining and zero-width = 0) and the units text
// is drawn in, from utf8proc's tables, measured as the terminal will draw them.
//
// Terminals disagree on a cluster of several visible code points (an emoji with a skin tone or
// joined by ZWJ, a flag, an Indic syllable): one that clusters graphemes (it says so through
// mode 2027) draws the cluster as one glyph, any other draws each code point on its own cells.
// The width mode is process-wide so that every measurement (cells, wrapping, selection) agrees;
// it starts as `code_points` and becomes `graphemes` only once the terminal confirms.

#include <cstddef>
#include <string_view>

namespace unicode {

enum class WidthMode {
  code_points,  // each code point on its own cells, as wcwidth counts them
  graphemes,    // each extended grapheme cluster as one glyph
};

// Safe from any thread; callers that cache measured text redraw it after a change.
void set_width_mode(WidthMode mode) noexcept;
[[nodiscard]] WidthMode width_mode() noexcept;

// Cells one code point takes on its own: 0, 1 or 2. Controls count 0.
[[nodiscard]] int cp_width(char32_t cp) noexcept;

struct Grapheme {
  std::size_t len;  // bytes of the unit, at least 1
  int width;        // cells of the unit: 0, 1 or 2
};

// The unit of text drawn at byte `pos` (< s.size()): the cells it takes never change whatever
// follows it.
// - graphemes: the extended grapheme cluster, which takes the width of its first code point,
//   widened to 2 by an emoji presentation selector (U+FE0F) or when it is a regional-indicator
//   pair (a flag).
// - code_points: one code point that takes cells, with the zero-width code points of its
//   cluster that follow it (combining marks, joiners, selectors). Spacing marks take a cell
//   and Hangul vowel and final jamo none, as wcwidth counts them.
[[nodiscard]] Grapheme grapheme_at(std::string_view s, std::size_t pos) noexcept;

// Whether `s` holds a cluster that terminals draw at different widths: one whose code points
// after the first are more than combining marks (joiners, variation selectors, emoji
// modifiers, regional-indicator pairs, spacing marks and letters of Indic and Hangul
// syllables). Text without one measures the same in every mode.
[[nodiscard]] bool widths_disagree(std::string_view s) noexcept;

// Cells the whole string takes, cluster by cluster.
[[nodiscard]] std::size_t str_width(std::string_view s) noexcept;

// Cells of the widest piece of `s` between the ASCII bytes in `breaks` (the widest line for
// "\n", the widest word for " \n").
[[nodiscard]] std::size_t widest_piece_width(std::string_view s, std::string_view breaks) noexcept;

}  // namespace unicode
