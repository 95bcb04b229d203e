#include "styled/console.h"

#include "styled/link.h"

#include "styled/sgr.h"
#include "styled/text.h"

namespace styled {

Console::Console(ConsoleOptions options)
    : width_(options.width < 1 ? 1 : options.width),
      force_terminal_(options.force_terminal),
      hyperlinks_(options.hyperlinks),
      color_system_(options.color_system),
      out_(options.file != nullptr ? options.file : &own_) {}

void Console::print(const Renderable& renderable) {
  // Each line is written as soon as it is made and then dropped, so a long document is never
  // held as lines and the memory of one line is reused by the next. The text goes into a
  // buffer and then into the output in one piece: the output is not grown (and copied, and
  // its fresh pages faulted in) step by step.
  //
  // The buffer is the thread's, not the Console's, for a reason: a Console is commonly made for
  // one print (the reference renderer does the same), and a buffer made afresh for each print
  // faults its pages in every time, which cost a third of a large document's drawing. It is
  // taken out while in use, so a print made while drawing for this one (a renderable may print
  // on another Console) simply starts a buffer of its own.
  thread_local std::string kept;
  std::string encoded = std::move(kept);
  encoded.clear();
  renderable.render_each(*this, width_, [&](Line&& line) {
    crop_line(line, static_cast<std::size_t>(width_));
    encode_line(line, encoded);
    encoded += '\n';
  });
  *out_ += encoded;
  // A buffer left very large by one huge print is not kept for the rest of the thread's life.
  if (encoded.capacity() <= (std::size_t{8} << 20)) kept = std::move(encoded);
}

void Console::print(std::string_view markup) {
  print(Text::from_markup(markup));
}

void Console::encode_line(const Line& line, std::string& out) const {
  if (!force_terminal_ || color_system_ == ColorSystem::none) {
    for (const Segment& seg : line.segments) out += seg.text;
    return;
  }
  Style current;
  std::uint16_t link = 0;
  for (const Segment& seg : line.segments) {
    if (seg.text.empty()) continue;
    if (!(seg.style == current)) {
      transitions_.append(out, current, seg.style, color_system_);
      current = seg.style;
    }
    if (hyperlinks_ && current.link() != link) {
      link = current.link();
      out += "\x1b]8;;";
      out += link_target(link);
      out += "\x1b\\";
    }
    out += seg.text;
  }
  if (link != 0) out += "\x1b]8;;\x1b\\";
  if (!current.with_link(0).is_plain()) out += SGR_RESET;
}

Lines Console::render_lines(const Renderable& renderable, int width, bool pad) const {
  if (width < 1) width = width_;
  Lines lines;
  renderable.render(*this, width, lines);
  const auto w = static_cast<std::size_t>(width);
  for (Line& line : lines) {
    crop_line(line, w);
    if (pad) pad_line(line, w);
  }
  return lines;
}

void Console::push_theme(Theme theme) {
  themes_.push_back(std::move(theme));
}

void Console::pop_theme() {
  if (!themes_.empty()) themes_.pop_back();
}

Style Console::get_style(std::string_view name) const {
  for (auto it = themes_.rbegin(); it != themes_.rend(); ++it) {
    if (auto s = it->get(name)) return *s;
  }
  if (auto s = Theme::default_theme().get(name)) return *s;
  return Style::try_parse(name).value_or(Style{});
}

std::string Console::take_output() {
  std::string s = std::move(*out_);
  out_->clear();
  return s;
}

}  // namespace styled
