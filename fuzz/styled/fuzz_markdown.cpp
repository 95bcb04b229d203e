// Markdown on arbitrary text: rows padded to the width exactly, output free of raw controls.

#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "styled/markdown/markdown.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace styled;
  if (size > 64 * 1024) return 0;
  const int width = fuzz::width_from(data, size);
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const Markdown md(input);
  Console console;
  const Lines lines = console.render_lines(md, width);
  fuzz::check_lines(lines, width);
  if (width >= 2) {
    for (const Line& l : lines) {
      if (l.cells != static_cast<std::size_t>(width)) std::abort();
    }
  }
  std::string out;
  Console term({.width = width, .force_terminal = true, .file = &out});
  term.print(md);
  fuzz::check_output(out);
  return 0;
}
