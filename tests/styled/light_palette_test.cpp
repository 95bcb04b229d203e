#include "styled/light_palette.h"

#include <gtest/gtest.h>

namespace styled {
namespace {

// The contrast ratio of two colours (WCAG): 1 for none, 21 for black on white.
double contrast(Color a, Color b) {
  const double x = luminance(a) + 0.05, y = luminance(b) + 0.05;
  return x > y ? x / y : y / x;
}

const Color WHITE = Color::rgb(255, 255, 255);

// Every foreground the dark theme names stays readable on white (at least 4.5:1), and keeps
// its hue family: the strongest channel stays the strongest.
TEST(LightPalette, dark_theme_foregrounds_become_readable_on_white) {
  for (const char* word : {"white", "bold white", "#32cd32", "cyan", "bold yellow", "#5f87ff",
                           "red", "#d72b6b", "bright_white", "color(231)", "black"}) {
    const Style dark = Style::parse(word);
    const Style light = for_light_background(dark);
    EXPECT_GE(contrast(light.fg(), WHITE), 4.5) << word;
    EXPECT_EQ(light.on_bits(), dark.on_bits()) << word;
    const Color a = dark.fg().to_rgb(), b = light.fg();
    const auto top = [](Color c) {
      return c.r() >= c.g() && c.r() >= c.b() ? 0 : (c.g() >= c.b() ? 1 : 2);
    };
    if (!(a.r() == a.g() && a.g() == a.b())) {
      EXPECT_EQ(top(a), top(b)) << word;
    }
  }
}

// Dark panels (code blocks, the selection) turn light, so dark text on them reads.
TEST(LightPalette, dark_backgrounds_become_light_panels) {
  for (const char* word : {"on #2a2a2a", "on black", "on #264f78", "on #272822"}) {
    const Style light = for_light_background(Style::parse(word));
    EXPECT_GT(luminance(light.bg()), 0.6) << word;
    EXPECT_LT(luminance(light.bg()), 1.0) << word;  // still a panel on a white terminal
  }
  // Already light backgrounds and the terminal's own colours are left alone.
  EXPECT_EQ(for_light_background(Style::parse("on #eeeeee")).bg(), Color::rgb(0xee, 0xee, 0xee));
  EXPECT_EQ(for_light_background(Style::parse("default on default")),
            Style::parse("default on default"));
  EXPECT_EQ(for_light_background(Style::parse("bold")), Style::parse("bold"));
}

TEST(LightPalette, background_lightness_decides_the_scheme) {
  EXPECT_TRUE(is_light_background(Color::rgb(255, 255, 255)));
  EXPECT_TRUE(is_light_background(Color::rgb(0xfd, 0xf6, 0xe3)));  // a cream paper colour
  EXPECT_FALSE(is_light_background(Color::rgb(0x1e, 0x1e, 0x2e)));
  EXPECT_FALSE(is_light_background(Color::rgb(0x80, 0x80, 0x80)));
}

// The remembering palette gives what the plain mapping gives, for many styles in turn.
TEST(LightPalette, cache_gives_the_same_answers) {
  LightPalette palette;
  for (int round = 0; round < 2; ++round) {
    for (int i = 0; i < 600; ++i) {
      const Style s = Style().with_fg(
          Color::rgb(static_cast<std::uint8_t>(i % 256), static_cast<std::uint8_t>(i / 3), 200));
      EXPECT_EQ(palette.apply(s), for_light_background(s)) << i;
    }
  }
}

}  // namespace
}  // namespace styled
