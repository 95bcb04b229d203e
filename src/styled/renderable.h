#pragma once
// The one render protocol: anything a Console can turn into lines of segments at a width.
// Text, Markdown and Syntax implement it; so can any caller-defined renderable.
//
//   class Banner : public styled::Renderable {
//     void render(const styled::Console& c, int width, styled::Lines& out) const override;
//   };
//   console.print(banner);  or  console.render_lines(banner, 40);
//
// `render` appends its lines to `out`; lines may be shorter than `width` (the Console pads
// when asked) but should not be wider. Style names ("markdown.code") are resolved through
// `console.get_style`, so the Console's theme stack decides the look.

#include "styled/segment.h"

namespace styled {

class Console;

class Renderable {
 public:
  virtual ~Renderable() = default;
  virtual void render(const Console& console, int width, Lines& out) const = 0;

 protected:
  Renderable() = default;
  Renderable(const Renderable&) = default;
  Renderable(Renderable&&) = default;
  Renderable& operator=(const Renderable&) = default;
  Renderable& operator=(Renderable&&) = default;
};

}  // namespace styled
