#pragma once
// The light theme. Every style the program names is written for a dark background; on a light
// one its light foregrounds (white headings, lime green additions, cyan code) vanish and its
// dark panels (code blocks, the selection) turn into black slabs. The light theme keeps the
// same styles and changes how their colours are shown:
//   - a foreground brighter than FOREGROUND_LUMINANCE is darkened, hue kept, to that luminance
//     (white becomes a dark grey, lime a forest green), darker ones are left as they are;
//   - a background darker than mid-grey gets its lightness mirrored into the light end (HSL:
//     black becomes BACKGROUND_LIGHTNESS, mid-grey 0.85), so a near-black panel becomes a
//     near-white one, hue kept;
//   - the terminal's default colours and every attribute stay.
// Standard and palette colours are shown as 24-bit colour, since a light terminal's own
// palette may still be the dark one's.

#include <cstdint>
#include <vector>

#include "styled/color.h"
#include "styled/style.h"

namespace styled {

enum class ColorScheme : std::uint8_t { dark, light };

inline constexpr double FOREGROUND_LUMINANCE = 0.12;
inline constexpr double BACKGROUND_LIGHTNESS = 0.94;

// Relative luminance (0 black … 1 white) of a set colour; 0 for unset or default colours.
[[nodiscard]] double luminance(Color c);

// Whether a terminal background colour is a light one (luminance above one half).
[[nodiscard]] bool is_light_background(Color background);

[[nodiscard]] Color light_foreground(Color c);
[[nodiscard]] Color light_background(Color c);
[[nodiscard]] Style for_light_background(const Style& style);

// for_light_background with the styles of recent calls remembered (a frame has few styles and
// a writer maps every cell's). Not shared between threads: one per writer.
class LightPalette {
 public:
  [[nodiscard]] Style apply(const Style& style);

 private:
  struct Entry {
    Style from, to;
    bool used = false;
  };
  std::vector<Entry> recent_;
};

}  // namespace styled
