#pragma once
// Console: renders renderables at a width into lines of segments, and prints them — as ANSI
// SGR text when forced to a terminal, as plain text otherwise — into its output.
//
//   std::string buf;
//   Console console({.width = 90, .force_terminal = true,
//                    .color_system = ColorSystem::truecolor, .file = &buf});
//   console.print(Markdown(answer, "monokai"));   // every line ends with "\n"
//   Lines rows = console.render_lines(text, 40);  // for the UI framework
//   console.push_theme(Theme{{"markdown.code", "#d72b6b on #2a2a2a"}});
//
// Without `file` the Console writes into its own buffer (`output()`, `take_output()`).
// A Console is used by one thread at a time: it keeps the escape sequences it wrote, and the
// memory of the texts it wrapped, for the next ones.

#include <string>
#include <string_view>
#include <vector>

#include "styled/color.h"
#include "styled/renderable.h"
#include "styled/segment.h"
#include "styled/sgr.h"
#include "styled/style.h"
#include "styled/text.h"
#include "styled/theme.h"

namespace styled {

struct ConsoleOptions {
  int width = 80;
  bool force_terminal = false;
  ColorSystem color_system = ColorSystem::truecolor;
  std::string* file = nullptr;  // output buffer; the Console's own when null
  // A terminal console writes linked segments inside OSC 8 hyperlinks (closed at each line's
  // end), with their safe targets.
  bool hyperlinks = false;
};

class Console {
 public:
  Console() : Console(ConsoleOptions{}) {}
  explicit Console(ConsoleOptions options);

  [[nodiscard]] int width() const { return width_; }
  void set_width(int w) { width_ = w < 1 ? 1 : w; }
  [[nodiscard]] bool is_terminal() const { return force_terminal_; }
  [[nodiscard]] ColorSystem color_system() const { return color_system_; }

  // Renders at the console width and writes the lines, each followed by "\n". With a terminal,
  // styles are written as SGR sequences and reset at the end of each line.
  void print(const Renderable& renderable);
  // Markup text, printed like a Text.
  void print(std::string_view markup);

  // Lines at `width` (the console width when < 1); padded with spaces to the width when `pad`,
  // and never wider than the width.
  [[nodiscard]] Lines render_lines(const Renderable& renderable, int width = 0,
                                   bool pad = true) const;

  // Writes one line's segments as ANSI (or plain text) into `out`, without the line feed.
  void encode_line(const Line& line, std::string& out) const;

  void push_theme(Theme theme);
  void pop_theme();
  // The style a role name resolves to, top theme first, then the default theme; a name no
  // theme holds is read as a style string, and as the plain style when it is not one either.
  [[nodiscard]] Style get_style(std::string_view name) const;

  // Memory for the style runs of each text wrapped while drawing through this Console
  // (Text::wrap_into), reused from one text to the next.
  [[nodiscard]] std::vector<StyleRun>& wrap_memory() const { return wrap_memory_; }

  [[nodiscard]] const std::string& output() const { return *out_; }
  [[nodiscard]] std::string take_output();

 private:
  int width_;
  bool force_terminal_;
  bool hyperlinks_ = false;
  ColorSystem color_system_;
  std::string own_;
  std::string* out_;
  std::vector<Theme> themes_;
  std::string encoded_;  // print's buffer, kept for the next print
  mutable SgrTransitions transitions_;
  mutable std::vector<StyleRun> wrap_memory_;
};

}  // namespace styled
