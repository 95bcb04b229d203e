#pragma once
// ANSI SGR encoding of styles, as a forced-terminal Console writes them.
//
//   std::string out;
//   append_sgr(out, Style::parse("bold red"));            // "\x1b[1;31m"
//   append_sgr_transition(out, from, to);                 // only what changes between the two
//
// Standard colours use the palette codes (30–37, 90–97, 40–47, 100–107), palette colours
// 38;5;N, RGB colours 38;2;r;g;b, each reduced first to what the colour system can show.

#include <string>

#include "styled/color.h"
#include "styled/style.h"

namespace styled {

// The escape sequence that turns a reset terminal into `style` ("" for a plain style).
void append_sgr(std::string& out, const Style& style, ColorSystem system = ColorSystem::truecolor);

// The shortest escape sequence (possibly none) that turns `from`'s look into `to`'s.
void append_sgr_transition(std::string& out, const Style& from, const Style& to,
                           ColorSystem system = ColorSystem::truecolor);

inline constexpr std::string_view SGR_RESET = "\x1b[0m";

}  // namespace styled
