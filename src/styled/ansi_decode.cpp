// Text::from_ansi: SGR sequences become style spans; every other escape sequence (CSI, OSC,
// DCS/SOS/PM/APC strings, two-byte ESC forms, a lone ESC) is dropped and never kept as text.
// One pass, linear in the input whatever its shape.

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>

#include "styled/link.h"
#include "styled/text.h"

namespace styled {

namespace {

constexpr char ESC = '\x1b';

// SGR parameters: groups separated by ';', each group's sub-parameters separated by ':'. Only
// the first `count` entries are ever read, so the arrays are left uninitialised: clearing them
// for every sequence was the largest single cost of decoding.
struct SgrParams {
  static constexpr std::size_t MAX = 64;
  std::array<std::uint16_t, MAX> value;
  std::array<std::uint8_t, MAX> sub;  // 1: this value continues the previous one's group (":")
  std::size_t count = 0;
};

SgrParams parse_params(std::string_view p) {
  SgrParams out;
  std::uint32_t v = 0;
  bool next_sub = false;
  auto flush = [&](bool sub_after) {
    if (out.count < SgrParams::MAX) {
      out.value[out.count] = static_cast<std::uint16_t>(v);
      out.sub[out.count] = next_sub ? 1 : 0;
      ++out.count;
    }
    v = 0;
    next_sub = sub_after;
  };
  for (char c : p) {
    if (c >= '0' && c <= '9') {
      v = v * 10 + static_cast<std::uint32_t>(c - '0');
      if (v > 65535) v = 65535;
    } else if (c == ';') {
      flush(false);
    } else if (c == ':') {
      flush(true);
    }
  }
  flush(false);
  return out;
}

std::uint8_t byte_of(std::uint16_t v) {
  return static_cast<std::uint8_t>(v > 255 ? 255 : v);
}

// Reads an extended colour (after 38/48/58) starting at index i; advances i past it.
std::optional<Color> extended_color(const SgrParams& p, std::size_t& i) {
  const bool colon = i + 1 < p.count && p.sub[i + 1] != 0;
  if (i + 1 >= p.count) return std::nullopt;
  const std::uint16_t mode = p.value[i + 1];
  if (mode == 5) {
    if (i + 2 >= p.count) {
      i = p.count;
      return std::nullopt;
    }
    const Color c = Color::palette(byte_of(p.value[i + 2]));
    i += 2;
    return c;
  }
  if (mode == 2) {
    std::size_t first = i + 2;
    if (colon) {
      // 38:2:r:g:b, or 38:2:cs:r:g:b with a colour-space id.
      std::size_t n = 0;
      while (first + n < p.count && p.sub[first + n] != 0) ++n;
      if (n >= 4) ++first;
    }
    if (first + 2 >= p.count) {
      i = p.count;
      return std::nullopt;
    }
    const Color c = Color::rgb(byte_of(p.value[first]), byte_of(p.value[first + 1]),
                               byte_of(p.value[first + 2]));
    i = first + 2;
    return c;
  }
  i += 1;
  return std::nullopt;
}

void apply_sgr(std::string_view params, Style& s) {
  const SgrParams p = parse_params(params);
  for (std::size_t i = 0; i < p.count; ++i) {
    const std::uint16_t code = p.value[i];
    switch (code) {
      case 0:
        s = Style();
        break;
      case 1:
        s = s.with(Attr::bold);
        break;
      case 2:
        s = s.with(Attr::dim);
        break;
      case 3:
        s = s.with(Attr::italic);
        break;
      case 4:
        s = s.with(Attr::underline);
        break;
      case 5:
      case 6:
        s = s.with(Attr::blink);
        break;
      case 7:
        s = s.with(Attr::reverse);
        break;
      case 9:
        s = s.with(Attr::strike);
        break;
      case 21:
        s = s.without(Attr::bold);
        break;
      case 22:
        s = s.without(Attr::bold).without(Attr::dim);
        break;
      case 23:
        s = s.without(Attr::italic);
        break;
      case 24:
        s = s.without(Attr::underline);
        break;
      case 25:
      case 26:
        s = s.without(Attr::blink);
        break;
      case 27:
        s = s.without(Attr::reverse);
        break;
      case 29:
        s = s.without(Attr::strike);
        break;
      case 39:
        s = s.with_fg(Color());
        break;
      case 49:
        s = s.with_bg(Color());
        break;
      case 38:
      case 48:
      case 58: {
        auto c = extended_color(p, i);
        if (c && code == 38) s = s.with_fg(*c);
        if (c && code == 48) s = s.with_bg(*c);
        break;
      }
      default:
        if (code >= 30 && code <= 37)
          s = s.with_fg(Color::standard(static_cast<std::uint8_t>(code - 30)));
        if (code >= 40 && code <= 47)
          s = s.with_bg(Color::standard(static_cast<std::uint8_t>(code - 40)));
        if (code >= 90 && code <= 97)
          s = s.with_fg(Color::standard(static_cast<std::uint8_t>(code - 90 + 8)));
        if (code >= 100 && code <= 107)
          s = s.with_bg(Color::standard(static_cast<std::uint8_t>(code - 100 + 8)));
        break;
    }
  }
}

// Index just past a string terminated by BEL or ESC \ (or the end of the input).
std::size_t skip_string(std::string_view s, std::size_t pos) {
  while (pos < s.size()) {
    const char c = s[pos];
    if (c == '\a') return pos + 1;
    if (c == ESC) {
      if (pos + 1 < s.size() && s[pos + 1] == '\\') return pos + 2;
      return pos;  // another sequence starts: this one was never terminated
    }
    ++pos;
  }
  return pos;
}

}  // namespace

Text Text::from_ansi(std::string_view s, bool links) {
  Text t;
  // The text is at most as long as the input unless controls are made visible: one
  // allocation instead of a string grown (and its fresh pages faulted in) step by step.
  t.plain_.reserve(s.size());
  Style cur;
  std::uint16_t link = 0;  // the open hyperlink; SGR resets leave it alone
  std::size_t pos = 0;
  std::size_t text_start = 0;
  auto flush = [&](std::size_t end) {
    if (end > text_start) t.append(s.substr(text_start, end - text_start), cur);
  };
  // The next ESC and the next CR at or after `pos`, each looked for again only once passed:
  // the text between sequences is skipped by memchr rather than byte by byte.
  auto find = [&s](char c, std::size_t from) {
    const void* p = std::memchr(s.data() + from, c, s.size() - from);
    return p == nullptr ? s.size()
                        : static_cast<std::size_t>(static_cast<const char*>(p) - s.data());
  };
  std::size_t next_esc = find(ESC, 0);
  std::size_t next_cr = find('\r', 0);
  while (pos < s.size()) {
    if (next_esc < pos) next_esc = find(ESC, pos);
    if (next_cr < pos) next_cr = find('\r', pos);
    pos = std::min(next_esc, next_cr);
    if (pos >= s.size()) break;
    const char c = s[pos];
    flush(pos);
    if (c == '\r') {
      // CR LF and a lone CR both end a line.
      t.append("\n", cur);
      pos += (pos + 1 < s.size() && s[pos + 1] == '\n') ? 2 : 1;
      text_start = pos;
      continue;
    }
    ++pos;  // past ESC
    if (pos >= s.size()) {
      text_start = pos;
      break;
    }
    const char kind = s[pos];
    if (kind == '[') {
      ++pos;
      const std::size_t params_start = pos;
      while (pos < s.size() && s[pos] >= 0x30 && s[pos] <= 0x3F) ++pos;
      const std::size_t params_end = pos;
      bool intermediates = false;
      while (pos < s.size() && s[pos] >= 0x20 && s[pos] <= 0x2F) {
        intermediates = true;
        ++pos;
      }
      if (pos < s.size() && s[pos] >= 0x40 && s[pos] <= 0x7E) {
        const std::string_view params = s.substr(params_start, params_end - params_start);
        const bool private_marker = !params.empty() && (params[0] == '<' || params[0] == '=' ||
                                                        params[0] == '>' || params[0] == '?');
        if (s[pos] == 'm' && !intermediates && !private_marker) {
          apply_sgr(params, cur);
          cur = cur.normalized().with_link(link);
        }
        ++pos;
      }
      // A malformed sequence ends at the first byte that cannot belong to it; that byte is
      // read as text again.
    } else if (kind == ']' || kind == 'P' || kind == 'X' || kind == '^' || kind == '_') {
      const std::size_t body = pos + 1;
      pos = skip_string(s, body);
      if (links && kind == ']' && s.substr(body).starts_with("8;")) {
        // ESC ] 8 ; params ; URI terminator: the URI runs to the terminator.
        std::string_view osc = s.substr(body, pos - body);
        while (!osc.empty() && (osc.back() == '\\' || osc.back() == '\a' || osc.back() == ESC)) {
          osc.remove_suffix(1);
        }
        const std::size_t uri = osc.find(';', 2);
        link = uri == std::string_view::npos ? 0 : link_id(osc.substr(uri + 1));
        cur = cur.with_link(link);
      }
    } else {
      while (pos < s.size() && s[pos] >= 0x20 && s[pos] <= 0x2F) ++pos;
      if (pos < s.size() && s[pos] >= 0x30 && s[pos] <= 0x7E) ++pos;
    }
    text_start = pos;
  }
  flush(s.size());
  return t;
}

}  // namespace styled
