#pragma once
// The one word-at-a-time scan over ASCII text: most text the system handles is plain ASCII,
// and looking at eight bytes per step is what keeps decoding, wrapping and streaming cheap.

#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace unicode {

// The first position in [from, limit) (limit <= s.size()) whose byte lies outside
// [lowest, 0x7E] — below `lowest` (at most 0x21), DEL or from 0x80 on — or `limit`.
[[nodiscard]] inline std::size_t ascii_run_end(std::string_view s, std::size_t from,
                                               std::size_t limit, unsigned char lowest) noexcept {
  std::size_t q = from;
  if constexpr (std::endian::native == std::endian::little) {
    constexpr std::uint64_t ONES = 0x0101010101010101ULL;
    constexpr std::uint64_t HIGHS = 0x8080808080808080ULL;
    const std::uint64_t low = lowest * ONES;
    for (; q + 8 <= limit; q += 8) {
      std::uint64_t x = 0;
      std::memcpy(&x, s.data() + q, 8);
      const std::uint64_t del = x ^ (0x7F * ONES);
      // The high bit of each byte from 0x80 on, below `lowest`, or DEL. Borrows can mark bytes
      // after a marked one, never before it, so the lowest mark is exact.
      const std::uint64_t odd = (x | ((x - low) & ~x) | ((del - ONES) & ~del)) & HIGHS;
      if (odd != 0) return q + static_cast<std::size_t>(std::countr_zero(odd) / 8);
    }
  }
  while (q < limit) {
    const auto b = static_cast<unsigned char>(s[q]);
    if (b < lowest || b >= 0x7F) break;
    ++q;
  }
  return q;
}

}  // namespace unicode
