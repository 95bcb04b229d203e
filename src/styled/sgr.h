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
#include <vector>

#include "styled/color.h"
#include "styled/style.h"

namespace styled {

// The escape sequence that turns a reset terminal into `style` ("" for a plain style).
void append_sgr(std::string& out, const Style& style, ColorSystem system = ColorSystem::truecolor);

// The shortest escape sequence (possibly none) that turns `from`'s look into `to`'s.
void append_sgr_transition(std::string& out, const Style& from, const Style& to,
                           ColorSystem system = ColorSystem::truecolor);

inline constexpr std::string_view SGR_RESET = "\x1b[0m";

// append_sgr_transition with the sequences of recent pairs remembered. A writer puts one
// transition before nearly every segment, and a document uses a handful of styles, so the
// same few pairs come back all the time; each writer (a Console, the frame writer) keeps one.
class SgrTransitions {
 public:
  void append(std::string& out, const Style& from, const Style& to,
              ColorSystem system = ColorSystem::truecolor);

 private:
  struct Entry {
    Style from, to;
    ColorSystem system = ColorSystem::none;  // none: the slot is empty
    std::string sequence;
  };
  // Direct-mapped by a hash of the pair; made on first use, so a writer that never changes
  // style pays nothing. Highlighted code brings a few hundred pairs, which rarely collide.
  std::vector<Entry> recent_;
};

}  // namespace styled
