// The markup reader never throws and its result renders safely.

#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "styled/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace styled;
  const int width = fuzz::width_from(data, size);
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  Text t = Text::from_markup(input);
  Console console;
  fuzz::check_lines(console.render_lines(t, width), width);
  t.set_no_wrap(true).set_overflow(Overflow::ellipsis);
  fuzz::check_lines(console.render_lines(t, width), width);
  std::string out;
  Console term({.width = width, .force_terminal = true, .file = &out});
  term.print(t);
  fuzz::check_output(out);
  return 0;
}
