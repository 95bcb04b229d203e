// from_ansi on arbitrary bytes, then wrapping and printing the result, and the round trip
// through the encoder.

#include <cstdint>
#include <string_view>

#include "fuzz_check.h"
#include "styled/text.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace styled;
  const int width = fuzz::width_from(data, size);
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  const Text t = Text::from_ansi(input);
  Console console;
  fuzz::check_lines(console.render_lines(t, width), width);
  std::string out;
  Console term({.width = 100000, .force_terminal = true, .file = &out});
  term.print(t);
  fuzz::check_output(out);
  // Decoding our own output gives back the same text.
  out.pop_back();
  if (Text::from_ansi(out).plain() != t.plain()) std::abort();
  return 0;
}
