#include "styled/light_palette.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <string_view>

namespace styled {
namespace {

double to_linear(std::uint8_t v) {
  const double c = v / 255.0;
  return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
}

std::uint8_t from_linear(double l) {
  l = std::clamp(l, 0.0, 1.0);
  const double c = l <= 0.0031308 ? l * 12.92 : 1.055 * std::pow(l, 1 / 2.4) - 0.055;
  return static_cast<std::uint8_t>(std::lround(c * 255));
}

bool shows(Color c) {
  return c.is_set() && c.kind() != Color::Kind::default_color;
}

struct Hsl {
  double h, s, l;
};

Hsl to_hsl(Color c) {
  const double r = c.r() / 255.0, g = c.g() / 255.0, b = c.b() / 255.0;
  const double max = std::max({r, g, b}), min = std::min({r, g, b});
  const double l = (max + min) / 2;
  if (max == min) return {0, 0, l};
  const double d = max - min;
  const double s = l > 0.5 ? d / (2 - max - min) : d / (max + min);
  double h;
  if (max == r) {
    h = (g - b) / d + (g < b ? 6 : 0);
  } else if (max == g) {
    h = (b - r) / d + 2;
  } else {
    h = (r - g) / d + 4;
  }
  return {h / 6, s, l};
}

double hue_channel(double p, double q, double t) {
  if (t < 0) t += 1;
  if (t > 1) t -= 1;
  if (t < 1.0 / 6) return p + (q - p) * 6 * t;
  if (t < 1.0 / 2) return q;
  if (t < 2.0 / 3) return p + (q - p) * (2.0 / 3 - t) * 6;
  return p;
}

Color from_hsl(Hsl x) {
  const auto byte = [](double v) {
    return static_cast<std::uint8_t>(std::lround(std::clamp(v, 0.0, 1.0) * 255));
  };
  if (x.s == 0) return Color::rgb(byte(x.l), byte(x.l), byte(x.l));
  const double q = x.l < 0.5 ? x.l * (1 + x.s) : x.l + x.s - x.l * x.s;
  const double p = 2 * x.l - q;
  return Color::rgb(byte(hue_channel(p, q, x.h + 1.0 / 3)), byte(hue_channel(p, q, x.h)),
                    byte(hue_channel(p, q, x.h - 1.0 / 3)));
}

}  // namespace

double luminance(Color c) {
  if (!shows(c)) return 0;
  const Color rgb = c.to_rgb();
  return 0.2126 * to_linear(rgb.r()) + 0.7152 * to_linear(rgb.g()) + 0.0722 * to_linear(rgb.b());
}

bool is_light_background(Color background) {
  return luminance(background) > 0.5;
}

Color light_foreground(Color c) {
  if (!shows(c)) return c;
  const Color rgb = c.to_rgb();
  const double y = luminance(rgb);
  if (y <= FOREGROUND_LUMINANCE) return rgb;
  // Scaling the linear channels scales the luminance by the same factor and keeps the hue.
  const double k = FOREGROUND_LUMINANCE / y;
  return Color::rgb(from_linear(to_linear(rgb.r()) * k), from_linear(to_linear(rgb.g()) * k),
                    from_linear(to_linear(rgb.b()) * k));
}

Color light_background(Color c) {
  if (!shows(c)) return c;
  Hsl hsl = to_hsl(c.to_rgb());
  if (hsl.l >= 0.5) return c.to_rgb();
  // Mirrored into the light end: black becomes BACKGROUND_LIGHTNESS, mid-grey 0.85, so that
  // dark text stays readable on every panel and panels stay apart from the terminal's white.
  hsl.l = 0.85 + (BACKGROUND_LIGHTNESS - 0.85) * (0.5 - hsl.l) / 0.5;
  return from_hsl(hsl);
}

Style for_light_background(const Style& style) {
  Style out = style;
  if (shows(style.fg())) out = out.with_fg(light_foreground(style.fg()));
  if (shows(style.bg())) out = out.with_bg(light_background(style.bg()));
  return out;
}

Style LightPalette::apply(const Style& style) {
  static constexpr std::size_t SLOTS = 256;
  if (recent_.empty()) recent_.resize(SLOTS);
  char bytes[sizeof(Style)];
  std::memcpy(bytes, &style, sizeof bytes);
  const std::size_t slot =
      std::hash<std::string_view>{}(std::string_view(bytes, sizeof bytes)) % SLOTS;
  Entry& e = recent_[slot];
  if (!e.used || !(e.from == style)) e = {style, for_light_background(style), true};
  return e.to;
}

}  // namespace styled
