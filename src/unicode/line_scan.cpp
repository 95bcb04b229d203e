#include "unicode/line_scan.h"

#include "unicode/text_ops.h"
#include "unicode/utf8.h"

namespace unicode {

std::string_view rstrip_view(std::string_view s) noexcept {
  // Stepping back over at most three continuation bytes finds the lead byte of the last
  // character; when it does not decode to exactly the bytes up to the end, the last byte is
  // an invalid one, which reads as U+FFFD and is not white space.
  std::size_t end = s.size();
  while (end > 0) {
    const auto last = static_cast<unsigned char>(s[end - 1]);
    if (last < 0x80) {
      if (!unicode::is_space(last)) break;
      --end;
      continue;
    }
    std::size_t lead = end - 1;
    while (lead > 0 && end - lead < 4 && (static_cast<unsigned char>(s[lead]) & 0xC0) == 0x80) {
      --lead;
    }
    const unicode::Decoded d = unicode::decode_at(s, lead);
    if (lead + d.len != end || !unicode::is_space(d.cp)) break;
    end = lead;
  }
  return s.substr(0, end);
}

std::string_view strip_view(std::string_view s) noexcept {
  std::size_t pos = 0;
  while (pos < s.size()) {
    const unicode::Decoded d = unicode::decode_at(s, pos);
    if (!unicode::is_space(d.cp)) break;
    pos += d.len;
  }
  return rstrip_view(s.substr(pos));
}

LineReader::Boundary LineReader::find_boundary(std::size_t from) const noexcept {
  // Byte by byte: ASCII boundaries never occur inside a multi-byte character, and the lead
  // bytes C2 and E2 of U+0085, U+2028 and U+2029 are never continuation bytes, so a decoder
  // would start a character exactly where this finds one.
  const std::size_t n = text_.size();
  for (std::size_t i = from; i < n; ++i) {
    const auto b = static_cast<unsigned char>(text_[i]);
    if (b < 0x80) {
      if ((b >= 0x0A && b <= 0x0D) || (b >= 0x1C && b <= 0x1E)) {
        const bool crlf = b == '\r' && i + 1 < n && text_[i + 1] == '\n';
        return {i, crlf ? 2u : 1u};
      }
    } else if (b == 0xC2 && i + 1 < n && static_cast<unsigned char>(text_[i + 1]) == 0x85) {
      return {i, 2};
    } else if (b == 0xE2 && i + 2 < n && static_cast<unsigned char>(text_[i + 1]) == 0x80 &&
               (static_cast<unsigned char>(text_[i + 2]) == 0xA8 ||
                static_cast<unsigned char>(text_[i + 2]) == 0xA9)) {
      return {i, 3};
    }
  }
  return {n, 0};
}

bool LineReader::next(std::string_view& line) noexcept {
  if (pos_ >= text_.size()) return false;
  const Boundary b = find_boundary(pos_);
  line = text_.substr(pos_, b.pos - pos_);
  pos_ = b.pos + b.len;
  return true;
}

std::size_t LineReader::count_rest() noexcept {
  std::size_t count = 0;
  for (std::string_view line; next(line);) ++count;
  return count;
}

bool longer_than(std::string_view s, std::size_t n) noexcept {
  std::size_t count = 0;
  for (std::size_t pos = 0; pos < s.size(); pos += unicode::decode_at(s, pos).len) {
    if (++count > n) return true;
  }
  return false;
}

}  // namespace unicode
