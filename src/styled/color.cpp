#include "styled/color.h"

#include <array>
#include <cstdlib>

namespace styled {

namespace {

constexpr std::array<std::string_view, 8> BASE_NAMES = {"black", "red",     "green", "yellow",
                                                        "blue",  "magenta", "cyan",  "white"};

// xterm's values for the 16 standard colours, used when a colour must be reduced or compared.
constexpr std::array<std::array<std::uint8_t, 3>, 16> STANDARD_RGB = {{{0, 0, 0},
                                                                       {128, 0, 0},
                                                                       {0, 128, 0},
                                                                       {128, 128, 0},
                                                                       {0, 0, 128},
                                                                       {128, 0, 128},
                                                                       {0, 128, 128},
                                                                       {192, 192, 192},
                                                                       {128, 128, 128},
                                                                       {255, 0, 0},
                                                                       {0, 255, 0},
                                                                       {255, 255, 0},
                                                                       {0, 0, 255},
                                                                       {255, 0, 255},
                                                                       {0, 255, 255},
                                                                       {255, 255, 255}}};

char lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

bool iequals(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != b[i]) return false;
  }
  return true;
}

int hex_digit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = lower(c);
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// A decimal number 0–255 with optional surrounding spaces.
std::optional<std::uint8_t> byte_value(std::string_view s) {
  while (!s.empty() && s.front() == ' ') s.remove_prefix(1);
  while (!s.empty() && s.back() == ' ') s.remove_suffix(1);
  if (s.empty() || s.size() > 3) return std::nullopt;
  int v = 0;
  for (char c : s) {
    if (c < '0' || c > '9') return std::nullopt;
    v = v * 10 + (c - '0');
  }
  if (v > 255) return std::nullopt;
  return static_cast<std::uint8_t>(v);
}

// The text between "name(" and ")" when `word` has that form.
std::optional<std::string_view> call_args(std::string_view word, std::string_view name) {
  if (word.size() < name.size() + 2 || !iequals(word.substr(0, name.size()), name) ||
      word[name.size()] != '(' || word.back() != ')') {
    return std::nullopt;
  }
  return word.substr(name.size() + 1, word.size() - name.size() - 2);
}

int distance2(const std::array<std::uint8_t, 3>& a, int r, int g, int b) {
  const int dr = a[0] - r, dg = a[1] - g, db = a[2] - b;
  return dr * dr + dg * dg + db * db;
}

std::array<std::uint8_t, 3> palette_rgb(std::uint8_t i) {
  if (i < 16) return STANDARD_RGB[i];
  if (i >= 232) {
    const auto v = static_cast<std::uint8_t>(8 + (i - 232) * 10);
    return {v, v, v};
  }
  const int n = i - 16;
  auto level = [](int x) { return static_cast<std::uint8_t>(x == 0 ? 0 : 55 + x * 40); };
  return {level(n / 36), level((n / 6) % 6), level(n % 6)};
}

}  // namespace

std::optional<Color> Color::parse(std::string_view word) noexcept {
  if (word.empty()) return std::nullopt;
  if (word[0] == '#') {
    if (word.size() != 7) return std::nullopt;
    int v[6];
    for (int i = 0; i < 6; ++i) {
      v[i] = hex_digit(word[static_cast<std::size_t>(i) + 1]);
      if (v[i] < 0) return std::nullopt;
    }
    return rgb(static_cast<std::uint8_t>(v[0] * 16 + v[1]),
               static_cast<std::uint8_t>(v[2] * 16 + v[3]),
               static_cast<std::uint8_t>(v[4] * 16 + v[5]));
  }
  if (iequals(word, "default")) return default_color();
  std::string_view base = word;
  bool bright = false;
  if (word.size() > 7 && iequals(word.substr(0, 7), "bright_")) {
    base = word.substr(7);
    bright = true;
  }
  for (std::size_t i = 0; i < BASE_NAMES.size(); ++i) {
    if (iequals(base, BASE_NAMES[i])) {
      return standard(static_cast<std::uint8_t>(i + (bright ? 8 : 0)));
    }
  }
  if (auto args = call_args(word, "color")) {
    if (auto n = byte_value(*args)) return palette(*n);
    return std::nullopt;
  }
  if (auto args = call_args(word, "rgb")) {
    std::uint8_t parts[3];
    std::string_view rest = *args;
    for (int i = 0; i < 3; ++i) {
      const std::size_t comma = rest.find(',');
      if ((i < 2) == (comma == std::string_view::npos)) return std::nullopt;
      auto v = byte_value(rest.substr(0, comma));
      if (!v) return std::nullopt;
      parts[i] = *v;
      rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    }
    return rgb(parts[0], parts[1], parts[2]);
  }
  return std::nullopt;
}

Color Color::to_rgb() const noexcept {
  if (kind_ == Kind::standard || kind_ == Kind::palette) {
    const auto c = palette_rgb(a_);
    return rgb(c[0], c[1], c[2]);
  }
  return *this;
}

Color Color::downgrade(ColorSystem system) const noexcept {
  if (kind_ == Kind::none || kind_ == Kind::default_color) return *this;
  if (system == ColorSystem::none) return Color();
  if (system == ColorSystem::truecolor || kind_ == Kind::standard) return *this;
  if (system == ColorSystem::eight_bit && kind_ == Kind::palette) return *this;
  const int first = system == ColorSystem::standard ? 0 : 16;
  const int last = system == ColorSystem::standard ? 15 : 255;
  const Color c = to_rgb();
  int best = first, best_d = 1 << 30;
  for (int i = first; i <= last; ++i) {
    const int d = distance2(palette_rgb(static_cast<std::uint8_t>(i)), c.r(), c.g(), c.b());
    if (d < best_d) {
      best_d = d;
      best = i;
    }
  }
  return palette(static_cast<std::uint8_t>(best));
}

}  // namespace styled
