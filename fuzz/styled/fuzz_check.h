#pragma once
// Shared checks for the styled-text fuzzers: what any input must never produce.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "styled/console.h"
#include "unicode/utf8.h"
#include "unicode/width.h"

namespace styled::fuzz {

// A width from the first input byte, 1–120.
inline int width_from(const std::uint8_t* data, std::size_t size) {
  return size == 0 ? 80 : 1 + data[0] % 120;
}

// Printed output: valid UTF-8, and no control byte other than line feed and the ESC that
// starts one of our own SGR sequences.
inline void check_output(const std::string& out) {
  if (!unicode::is_valid(out)) std::abort();
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto c = static_cast<unsigned char>(out[i]);
    if (c == 0x1b) {
      if (i + 1 >= out.size() || out[i + 1] != '[') std::abort();
      std::size_t j = i + 2;
      while (j < out.size() && ((out[j] >= '0' && out[j] <= '9') || out[j] == ';')) ++j;
      if (j >= out.size() || out[j] != 'm') std::abort();
      i = j;
      continue;
    }
    if ((c < 0x20 && c != '\n') || c == 0x7f) std::abort();
  }
}

// Rows never wider than the width (a single wide character at width 1 is the one exception).
// The row's own cell count may differ from measuring its joined text by the odd grapheme
// that joins across a piece boundary (a Prepend character before padding), never upward.
inline void check_lines(const Lines& lines, int width) {
  if (width < 2) return;
  const auto limit = static_cast<std::size_t>(width);
  for (const Line& l : lines) {
    if (l.cells > limit || unicode::str_width(l.text()) > limit) std::abort();
  }
}

}  // namespace styled::fuzz
