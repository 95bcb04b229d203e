#pragma once
// How the full screen looks and how it calls the user back: the colour theme and the way a
// notification is raised, decided from the [ui] settings and the command line.

#include <cstdlib>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "styled/color.h"
#include "styled/light_palette.h"
#include "termui/notification.h"

namespace host::tui {

enum class ThemeChoice { follow_terminal, dark, light };

struct ScreenLook {
  ThemeChoice theme = ThemeChoice::follow_terminal;
  termui::NotifyMethod notify = termui::NotifyMethod::off;
  // OSC 8 hyperlinks: off on the terminals known to show the sequence instead of hiding it
  // (the Linux console and other VT-like ones); elsewhere a terminal without them ignores it.
  bool hyperlinks = true;
};

// "auto", "dark" or "light"; std::nullopt for any other word.
[[nodiscard]] std::optional<ThemeChoice> theme_named(std::string_view name);

// The look for the settings' words (already checked by the configuration reader); `theme`
// from the command line wins over the file's. "auto" notifications are judged from the
// environment (`getenv`, std::getenv by default).
[[nodiscard]] ScreenLook screen_look(
    std::string_view theme, std::string_view notify,
    const std::function<const char*(const char*)>& getenv = [](const char* n) {
      return std::getenv(n);
    });

// The colour scheme to use once the terminal has said what its background is: a light
// background gives the light scheme unless the theme was chosen outright.
[[nodiscard]] styled::ColorScheme scheme_for(ThemeChoice theme,
                                             std::optional<styled::Color> background);

}  // namespace host::tui
