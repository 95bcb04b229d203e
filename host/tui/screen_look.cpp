#include "host/tui/screen_look.h"

namespace host::tui {

std::optional<ThemeChoice> theme_named(std::string_view name) {
  if (name == "auto") return ThemeChoice::follow_terminal;
  if (name == "dark") return ThemeChoice::dark;
  if (name == "light") return ThemeChoice::light;
  return std::nullopt;
}

ScreenLook screen_look(std::string_view theme, std::string_view notify,
                       const std::function<const char*(const char*)>& getenv) {
  ScreenLook look;
  look.theme = theme_named(theme).value_or(ThemeChoice::follow_terminal);
  look.notify = termui::notify_method_named(notify).value_or(termui::detect_notify_method(getenv));
  const char* term = getenv("TERM");
  const std::string_view t = term != nullptr ? term : "";
  look.hyperlinks = !(t.empty() || t == "dumb" || t == "linux" || t.starts_with("vt"));
  return look;
}

styled::ColorScheme scheme_for(ThemeChoice theme, std::optional<styled::Color> background) {
  switch (theme) {
    case ThemeChoice::dark:
      return styled::ColorScheme::dark;
    case ThemeChoice::light:
      return styled::ColorScheme::light;
    case ThemeChoice::follow_terminal:
      break;
  }
  return background && styled::is_light_background(*background) ? styled::ColorScheme::light
                                                                : styled::ColorScheme::dark;
}

}  // namespace host::tui
