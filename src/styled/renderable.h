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
//
// `render_each` hands the same lines to a sink one by one, each as soon as it is complete; a
// Console prints that way, so a renderable that makes many lines (Markdown) can override it
// and a printed document is never held whole. By default it renders them all first.

#include <functional>

#include "styled/segment.h"

namespace styled {

class Console;

class Renderable {
 public:
  virtual ~Renderable() = default;
  virtual void render(const Console& console, int width, Lines& out) const = 0;

  using LineSink = std::function<void(Line&&)>;
  virtual void render_each(const Console& console, int width, const LineSink& sink) const {
    Lines lines;
    render(console, width, lines);
    for (Line& line : lines) sink(std::move(line));
  }

 protected:
  Renderable() = default;
  Renderable(const Renderable&) = default;
  Renderable(Renderable&&) = default;
  Renderable& operator=(const Renderable&) = default;
  Renderable& operator=(Renderable&&) = default;
};

}  // namespace styled
