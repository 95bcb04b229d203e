#pragma once
// Colour of a Style: unset (inherits), the terminal's default, one of the 16 standard palette
// colours (emitted as SGR 30–37/90–97), an entry of the 256-colour palette, or 24-bit RGB.
//
//   Color c = Color::rgb(0x5f, 0x87, 0xff);
//   auto red = Color::parse("red");            // std::nullopt for an unknown word
//   c.kind() == Color::Kind::rgb

#include <cstdint>
#include <optional>
#include <string_view>

namespace styled {

// How many colours a Console may emit; colours beyond it are reduced to the nearest one.
enum class ColorSystem : std::uint8_t { none, standard, eight_bit, truecolor };

class Color {
 public:
  enum class Kind : std::uint8_t { none, default_color, standard, palette, rgb };

  constexpr Color() = default;
  static constexpr Color default_color() { return Color(Kind::default_color, 0, 0, 0); }
  // 0–7 normal, 8–15 bright.
  static constexpr Color standard(std::uint8_t index) {
    return Color(Kind::standard, static_cast<std::uint8_t>(index & 15), 0, 0);
  }
  // color(N): 0–15 are the standard colours, the rest the 256-colour palette.
  static constexpr Color palette(std::uint8_t index) {
    return index < 16 ? standard(index) : Color(Kind::palette, index, 0, 0);
  }
  static constexpr Color rgb(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    return Color(Kind::rgb, r, g, b);
  }

  // "default", a standard name ("red", "bright_white", ...), "#rrggbb", "color(N)",
  // "rgb(r,g,b)". Case-insensitive. std::nullopt when the word is not a colour.
  [[nodiscard]] static std::optional<Color> parse(std::string_view word) noexcept;

  [[nodiscard]] constexpr Kind kind() const { return kind_; }
  [[nodiscard]] constexpr bool is_set() const { return kind_ != Kind::none; }
  // Palette index for standard and palette colours.
  [[nodiscard]] constexpr std::uint8_t index() const { return a_; }
  [[nodiscard]] constexpr std::uint8_t r() const { return a_; }
  [[nodiscard]] constexpr std::uint8_t g() const { return b_; }
  [[nodiscard]] constexpr std::uint8_t b() const { return c_; }

  // The same colour as 24-bit RGB (standard colours use the common xterm palette).
  [[nodiscard]] Color to_rgb() const noexcept;
  // Reduced to what `system` can show (unset/default stay as they are).
  [[nodiscard]] Color downgrade(ColorSystem system) const noexcept;

  friend constexpr bool operator==(const Color&, const Color&) = default;

 private:
  constexpr Color(Kind k, std::uint8_t a, std::uint8_t b, std::uint8_t c)
      : kind_(k), a_(a), b_(b), c_(c) {}
  Kind kind_ = Kind::none;
  std::uint8_t a_ = 0, b_ = 0, c_ = 0;
};

}  // namespace styled
