// Highlighting arbitrary code in a language picked by the first byte: the text comes back
// unchanged, and every character gets the colour the library's own highlighter gives it (the
// fast highlighter's per-line memory and hand-written matchers change nothing).

#include <array>
#include <cstdint>
#include <cstdlib>
#include <stdexcept>
#include <string>

#include "fuzz_check.h"
#include "styled/syntax/syntax.h"
#include "styled/syntax/syntax_highlighter.h"
#include "styled/syntax/syntax_srchilite_highlight.h"
#include "styled/syntax/syntax_registry.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace styled;
  static constexpr std::array<const char*, 12> LANGS = {
      "python", "cpp", "js", "ts", "sh", "rust", "go", "java", "ruby", "yaml", "toml", "diff"};
  if (size == 0 || size > 4096) return 0;
  const char* lang = LANGS[data[0] % LANGS.size()];
  const std::string code(reinterpret_cast<const char*>(data) + 1, size - 1);
  const srchilite::HighlightStatePtr& state = syntax_registry::load(lang)->definition();
  const Text got = Syntax(code, lang).highlight();
  Text expected;
  try {
    expected = syntax_library::highlight(code, state, CodeTheme::named("monokai"));
  } catch (const std::runtime_error&) {
    // The regular expression library gave up on this input. It asks more searches than the
    // faster path, which may avoid the one that fails, or else draws the code plain.
    expected = got;
  }
  if (got.plain() != expected.plain()) std::abort();
  if (got.runs() != expected.runs()) std::abort();
  Console console;
  fuzz::check_lines(console.render_lines(Syntax(code, lang, "monokai", true, 1), 40), 40);
  return 0;
}
