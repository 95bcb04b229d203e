#pragma once
// Terminal cell widths (East Asian wide = 2, combining and zero-width = 0) and grapheme
// clusters, from utf8proc's tables.

#include <cstddef>
#include <string_view>

namespace unicode {

// Cells one code point takes on its own: 0, 1 or 2. Controls count 0.
[[nodiscard]] int cp_width(char32_t cp) noexcept;

struct Grapheme {
  std::size_t len;  // bytes of the cluster, at least 1
  int width;        // cells of the cluster: 0, 1 or 2
};

// The extended grapheme cluster starting at byte `pos` (< s.size()). A cluster takes the width
// of its first code point, widened to 2 by an emoji presentation selector (U+FE0F) or when it
// is a regional-indicator pair (a flag).
[[nodiscard]] Grapheme grapheme_at(std::string_view s, std::size_t pos) noexcept;

// Cells the whole string takes, cluster by cluster.
[[nodiscard]] std::size_t str_width(std::string_view s) noexcept;

// Cells of the widest piece of `s` between the ASCII bytes in `breaks` (the widest line for
// "\n", the widest word for " \n").
[[nodiscard]] std::size_t widest_piece_width(std::string_view s, std::string_view breaks) noexcept;

}  // namespace unicode
