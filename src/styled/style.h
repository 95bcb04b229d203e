#pragma once
// A compact, comparable text style: foreground and background Color plus attribute bits. Each
// attribute is on, off or unset; combining two styles (a + b) lets b win attribute by attribute
// and colour by colour, and keeps a's value wherever b leaves one unset.
//
//   const Style user = Style::parse("bold #5f87ff");      // throws on an unknown word
//   auto maybe = Style::try_parse("[not a style]");       // std::nullopt instead
//   Style s = Style::parse("dim") + Style::parse("not dim red");   // red, dim off
//   s.has(Attr::bold)                                     // effective value (unset = off)
//
// Style strings: words separated by spaces — attributes bold dim italic underline strike
// reverse blink (each may be preceded by "not"), a colour, and "on COLOR" for the background;
// "none" (or the empty string) is the plain style.
//
// A style may also carry a hyperlink: the number of an interned target (styled/link.h), 0 for
// none. Combining takes the right-hand side's link when it has one. A link changes no colour. See
// color.h for colour words.

#include <cstdint>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

#include "styled/color.h"

namespace styled {

enum class Attr : std::uint8_t {
  bold = 1 << 0,
  dim = 1 << 1,
  italic = 1 << 2,
  underline = 1 << 3,
  blink = 1 << 4,
  reverse = 1 << 5,
  strike = 1 << 6,
};

class Style {
 public:
  constexpr Style() = default;

  // Parses a style string; throws std::invalid_argument naming the word it does not know.
  [[nodiscard]] static Style parse(std::string_view text);
  [[nodiscard]] static std::optional<Style> try_parse(std::string_view text) noexcept;

  [[nodiscard]] constexpr Color fg() const { return fg_; }
  [[nodiscard]] constexpr Color bg() const { return bg_; }
  // Effective value of an attribute: true only when it is set and on.
  [[nodiscard]] constexpr bool has(Attr a) const {
    return (attrs_ & set_ & static_cast<std::uint8_t>(a)) != 0;
  }
  // Whether the style says anything about the attribute (on or off).
  [[nodiscard]] constexpr bool is_set(Attr a) const {
    return (set_ & static_cast<std::uint8_t>(a)) != 0;
  }
  // Bits of the attributes that are on / that are set.
  [[nodiscard]] constexpr std::uint8_t on_bits() const { return attrs_ & set_; }
  [[nodiscard]] constexpr std::uint8_t set_bits() const { return set_; }

  [[nodiscard]] constexpr Style with_fg(Color c) const {
    Style s = *this;
    s.fg_ = c;
    return s;
  }
  [[nodiscard]] constexpr Style with_bg(Color c) const {
    Style s = *this;
    s.bg_ = c;
    return s;
  }
  [[nodiscard]] constexpr Style with(Attr a, bool on = true) const {
    Style s = *this;
    const auto bit = static_cast<std::uint8_t>(a);
    s.set_ |= bit;
    s.attrs_ = static_cast<std::uint8_t>(on ? (s.attrs_ | bit) : (s.attrs_ & ~bit));
    return s;
  }
  // The attribute left unset again.
  [[nodiscard]] constexpr Style without(Attr a) const {
    Style s = *this;
    const auto bit = static_cast<std::uint8_t>(~static_cast<std::uint8_t>(a));
    s.set_ &= bit;
    s.attrs_ &= bit;
    return s;
  }

  // The hyperlink's number (styled/link.h), 0 for none.
  [[nodiscard]] constexpr std::uint16_t link() const { return link_; }
  [[nodiscard]] constexpr Style with_link(std::uint16_t link) const {
    Style s = *this;
    s.link_ = link;
    return s;
  }

  // Nothing set at all.
  [[nodiscard]] constexpr bool is_null() const {
    return set_ == 0 && !fg_.is_set() && !bg_.is_set() && link_ == 0;
  }
  // Looks like the terminal's default: no attribute on, colours unset or default.
  [[nodiscard]] constexpr bool is_plain() const {
    return on_bits() == 0 && !shows(fg_) && !shows(bg_);
  }
  // The same look with "off" and "default" folded into unset, so two styles that look the
  // same compare equal.
  [[nodiscard]] constexpr Style normalized() const {
    Style s;
    s.attrs_ = s.set_ = on_bits();
    s.fg_ = shows(fg_) ? fg_ : Color();
    s.bg_ = shows(bg_) ? bg_ : Color();
    s.link_ = link_;
    return s;
  }

  // Right-hand side wins attribute by attribute.
  [[nodiscard]] constexpr Style operator+(const Style& rhs) const {
    Style s;
    s.fg_ = rhs.fg_.is_set() ? rhs.fg_ : fg_;
    s.bg_ = rhs.bg_.is_set() ? rhs.bg_ : bg_;
    s.set_ = set_ | rhs.set_;
    s.attrs_ = static_cast<std::uint8_t>(((attrs_ & set_) & ~rhs.set_) | (rhs.attrs_ & rhs.set_));
    s.link_ = rhs.link_ != 0 ? rhs.link_ : link_;
    return s;
  }
  constexpr Style& operator+=(const Style& rhs) { return *this = *this + rhs; }

  // Field by field, which for these fields (no padding) is the same as comparing the bytes:
  // done that way at run time, as two loads and compares instead of eleven.
  friend constexpr bool operator==(const Style& a, const Style& b) {
    if (std::is_constant_evaluated()) {
      return a.fg_ == b.fg_ && a.bg_ == b.bg_ && a.attrs_ == b.attrs_ && a.set_ == b.set_ &&
             a.link_ == b.link_;
    }
    return std::memcmp(&a, &b, sizeof(Style)) == 0;
  }

  // The style as a style string ("bold red on #272822"; "none" for the null style).
  [[nodiscard]] std::string to_string() const;

 private:
  static constexpr bool shows(Color c) {
    return c.is_set() && c.kind() != Color::Kind::default_color;
  }
  Color fg_;
  Color bg_;
  std::uint8_t attrs_ = 0;
  std::uint8_t set_ = 0;
  std::uint16_t link_ = 0;
};

static_assert(sizeof(Style) == 12 && std::has_unique_object_representations_v<Style>);

}  // namespace styled
