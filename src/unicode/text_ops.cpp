#include "unicode/text_ops.h"

#include "unicode/ascii_scan.h"
#include "unicode/utf8.h"

namespace unicode {

bool is_space(char32_t cp) noexcept {
  if (cp < 0x80) return (cp >= 0x09 && cp <= 0x0D) || (cp >= 0x1C && cp <= 0x20);
  switch (cp) {
    case 0x85:
    case 0xA0:
    case 0x1680:
    case 0x2028:
    case 0x2029:
    case 0x202F:
    case 0x205F:
    case 0x3000:
      return true;
    default:
      return cp >= 0x2000 && cp <= 0x200A;
  }
}

bool is_blank(std::string_view s) noexcept {
  for (std::size_t pos = 0; pos < s.size();) {
    const Decoded d = decode_at(s, pos);
    if (!is_space(d.cp)) return false;
    pos += d.len;
  }
  return true;
}

bool is_line_boundary(char32_t cp) noexcept {
  switch (cp) {
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0D:
    case 0x1C:
    case 0x1D:
    case 0x1E:
    case 0x85:
    case 0x2028:
    case 0x2029:
      return true;
    default:
      return false;
  }
}

namespace {

// Byte offset just past the leading white space.
std::size_t leading_space_end(std::string_view s) {
  std::size_t pos = 0;
  while (pos < s.size()) {
    const Decoded d = decode_at(s, pos);
    if (!is_space(d.cp)) break;
    pos += d.len;
  }
  return pos;
}

// Byte offset where the trailing white space starts. Read from the end: a character there is
// found by stepping back over at most three continuation bytes to its lead byte; when the
// lead does not decode to exactly the bytes up to the end, the last byte is an invalid one
// (U+FFFD when read forwards, which is not space). UTF-8 resynchronises at every lead byte,
// so this gives what a forward scan gives.
std::size_t trailing_space_start(std::string_view s) {
  std::size_t end = s.size();
  while (end > 0) {
    const auto last = static_cast<unsigned char>(s[end - 1]);
    if (last < 0x80) {
      if (!is_space(last)) break;
      --end;
      continue;
    }
    std::size_t lead = end - 1;
    while (lead > 0 && end - lead < 4 && (static_cast<unsigned char>(s[lead]) & 0xC0) == 0x80) {
      --lead;
    }
    const Decoded d = decode_at(s, lead);
    if (lead + d.len != end || !is_space(d.cp)) break;
    end = lead;
  }
  return end;
}

}  // namespace

std::string strip(std::string_view s) {
  const std::size_t b = leading_space_end(s);
  const std::string_view rest = s.substr(b);
  return sanitize(rest.substr(0, trailing_space_start(rest)));
}

std::string rstrip(std::string_view s) {
  return sanitize(s.substr(0, trailing_space_start(s)));
}

std::vector<std::string> split_lines(std::string_view s) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  std::size_t pos = 0;
  while (pos < s.size()) {
    const Decoded d = decode_at(s, pos);
    if (!is_line_boundary(d.cp)) {
      pos += d.len;
      continue;
    }
    lines.push_back(sanitize(s.substr(start, pos - start)));
    pos += d.len;
    if (d.cp == U'\r' && pos < s.size() && s[pos] == '\n') ++pos;
    start = pos;
  }
  if (start < s.size()) lines.push_back(sanitize(s.substr(start)));
  return lines;
}

bool has_controls(std::string_view s) noexcept {
  for (std::size_t pos = 0; pos < s.size();) {
    // Printable ASCII, eight bytes a step.
    pos = ascii_run_end(s, pos, s.size(), 0x20);
    if (pos >= s.size()) break;
    const auto b = static_cast<unsigned char>(s[pos]);
    if (b < 0x80) {
      if (is_control(b)) return true;
      ++pos;
      continue;
    }
    const Decoded d = decode_at(s, pos);
    if (d.cp == REPLACEMENT && d.len == 1) return true;  // invalid byte
    if (is_control(d.cp)) return true;
    pos += d.len;
  }
  return false;
}

std::string visible_controls(std::string_view s) {
  if (!has_controls(s)) return std::string(s);
  std::string out;
  out.reserve(s.size() + 16);
  for_each_cp(s, [&](char32_t cp, std::size_t off, std::size_t len) {
    append_visible(out, cp, s.substr(off, len));
  });
  return out;
}

void append_visible(std::string& out, char32_t cp, std::string_view bytes) {
  if (cp < 0x20 && cp != U'\n' && cp != U'\t') {
    append_utf8(out, 0x2400 + cp);  // ESC shows as ␛
  } else if (cp == 0x7F) {
    append_utf8(out, 0x2421);
  } else if ((cp >= 0x80 && cp <= 0x9F) || cp == REPLACEMENT) {
    append_utf8(out, REPLACEMENT);  // C1 controls and invalid bytes alike
  } else {
    out.append(bytes);
  }
}

}  // namespace unicode
