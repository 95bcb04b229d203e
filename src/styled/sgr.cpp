#include "styled/sgr.h"

#include <array>
#include <cstdint>
#include <cstring>
#include <type_traits>

namespace styled {

namespace {

// Attribute bits in the order of their SGR "on" codes.
struct AttrCode {
  Attr attr;
  int on;
  int off;
};
constexpr std::array<AttrCode, 7> ATTR_CODES = {{{Attr::bold, 1, 22},
                                                 {Attr::dim, 2, 22},
                                                 {Attr::italic, 3, 23},
                                                 {Attr::underline, 4, 24},
                                                 {Attr::blink, 5, 25},
                                                 {Attr::reverse, 7, 27},
                                                 {Attr::strike, 9, 29}}};

// Collects ';'-separated parameters and writes them as one CSI ... m sequence. The sequence
// is built in a fixed buffer and appended in one go: the console writes one for nearly every
// segment, so appending byte by byte to the output string showed up in profiles.
class Params {
 public:
  explicit Params(std::string& out) : out_(out) {}
  ~Params() {
    if (len_ > 0) {
      buf_[len_++] = 'm';
      out_.append(buf_.data(), len_);
    }
  }
  Params(const Params&) = delete;
  Params& operator=(const Params&) = delete;

  void add(int n) {
    if (len_ == 0) {
      buf_[0] = '\x1b';
      buf_[1] = '[';
      len_ = 2;
    } else {
      buf_[len_++] = ';';
    }
    append_number(n);
  }
  void color(Color c, bool background, ColorSystem system) {
    c = c.downgrade(system);
    switch (c.kind()) {
      case Color::Kind::none:
        break;
      case Color::Kind::default_color:
        add(background ? 49 : 39);
        break;
      case Color::Kind::standard: {
        const int i = c.index();
        const int base = i < 8 ? (background ? 40 : 30) : (background ? 100 : 90);
        add(base + (i & 7));
        break;
      }
      case Color::Kind::palette:
        add(background ? 48 : 38);
        add(5);
        add(c.index());
        break;
      case Color::Kind::rgb:
        add(background ? 48 : 38);
        add(2);
        add(c.r());
        add(c.g());
        add(c.b());
        break;
    }
  }

 private:
  // Parameters are below 1000 (attribute codes, colour codes and components), so three
  // digits are enough; the most a sequence holds is 9 attribute codes and two RGB colours.
  void append_number(int n) {
    if (n >= 100) buf_[len_++] = static_cast<char>('0' + n / 100 % 10);
    if (n >= 10) buf_[len_++] = static_cast<char>('0' + n / 10 % 10);
    buf_[len_++] = static_cast<char>('0' + n % 10);
  }
  std::string& out_;
  std::array<char, 96> buf_{};
  std::size_t len_ = 0;
};

Color shown(Color c) {
  return c.kind() == Color::Kind::default_color ? Color() : c;
}

}  // namespace

void append_sgr(std::string& out, const Style& style, ColorSystem system) {
  if (system == ColorSystem::none) return;
  Params p(out);
  for (const auto& a : ATTR_CODES) {
    if (style.has(a.attr)) p.add(a.on);
  }
  if (shown(style.fg()).is_set()) p.color(style.fg(), false, system);
  if (shown(style.bg()).is_set()) p.color(style.bg(), true, system);
}

namespace {

void encode_transition(std::string& out, const Style& from, const Style& to, ColorSystem system) {
  const Style a = from.normalized();
  const Style b = to.normalized();
  if (a == b) return;
  if (b.is_plain()) {
    out += SGR_RESET;
    return;
  }
  Params p(out);
  const std::uint8_t turned_off = a.on_bits() & ~b.on_bits();
  const auto bold_dim =
      static_cast<std::uint8_t>(Attr::bold) | static_cast<std::uint8_t>(Attr::dim);
  // SGR 22 turns off both bold and dim, so whichever stays on must be turned on again.
  const bool reset_intensity = (turned_off & bold_dim) != 0;
  if (reset_intensity) p.add(22);
  for (const auto& a_code : ATTR_CODES) {
    const auto bit = static_cast<std::uint8_t>(a_code.attr);
    const bool was = (a.on_bits() & bit) != 0;
    const bool now = (b.on_bits() & bit) != 0;
    const bool intensity = (bit & bold_dim) != 0;
    if (now && (!was || (intensity && reset_intensity))) p.add(a_code.on);
    if (!now && was && !intensity) p.add(a_code.off);
  }
  if (a.fg() != b.fg()) {
    if (b.fg().is_set()) {
      p.color(b.fg(), false, system);
    } else {
      p.add(39);
    }
  }
  if (a.bg() != b.bg()) {
    if (b.bg().is_set()) {
      p.color(b.bg(), true, system);
    } else {
      p.add(49);
    }
  }
}

// The bytes of a style as one number: a Style is two colours of four bytes, the attribute and
// set bits and a link number, so this is exact, and cheap enough to do per segment.
static_assert(std::is_trivially_copyable_v<Style> && sizeof(Style) == 12);
std::uint64_t style_bits(const Style& s) {
  std::uint64_t colours = 0;
  std::uint32_t rest = 0;
  std::memcpy(&colours, &s, 8);
  std::memcpy(&rest, reinterpret_cast<const unsigned char*>(&s) + 8, 4);
  return colours * 0x9E3779B97F4A7C15ULL + rest;
}

}  // namespace

void append_sgr_transition(std::string& out, const Style& from, const Style& to,
                           ColorSystem system) {
  if (system == ColorSystem::none) return;
  encode_transition(out, from, to, system);
}

void SgrTransitions::append(std::string& out, const Style& from, const Style& to,
                            ColorSystem system) {
  if (system == ColorSystem::none) return;
  constexpr std::size_t SLOTS = 512;
  if (recent_.empty()) recent_.resize(SLOTS);
  // The top bits of a multiplicative hash: well mixed, so the few pairs in use rarely collide.
  const std::uint64_t h =
      (style_bits(from) ^ (style_bits(to) * 0xD6E8FEB86659FD93ULL)) * 0x9E3779B97F4A7C15ULL;
  Entry& e = recent_[h >> 55];
  if (e.system != system || !(e.from == from) || !(e.to == to)) {
    e.sequence.clear();
    encode_transition(e.sequence, from, to, system);
    e.from = from;
    e.to = to;
    e.system = system;
  }
  out += e.sequence;
}

}  // namespace styled
