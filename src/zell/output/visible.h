#pragma once
// Agent text on its way to the terminal: controls shown as visible symbols, one character for
// one, exactly as unicode::visible_controls does, but per code point so that the streaming
// loop can wrap and make visible in the same single pass.

#include <string>
#include <string_view>

#include "unicode/text_ops.h"
#include "unicode/utf8.h"

namespace zell::output {

// Appends code point `cp`, whose UTF-8 bytes in the source are `bytes`, in its visible form.
inline void append_visible(std::string& out, char32_t cp, std::string_view bytes) {
  if (cp < 0x20 && cp != U'\n' && cp != U'\t') {
    unicode::append_utf8(out, U'\u2400' + cp);
  } else if (cp == 0x7f) {
    unicode::append_utf8(out, U'\u2421');
  } else if ((cp >= 0x80 && cp <= 0x9f) || cp == unicode::REPLACEMENT) {
    out += "\xEF\xBF\xBD";  // C1 controls and invalid bytes alike
  } else {
    out += bytes;
  }
}

// The visible form of agent text (controls and invalid bytes shown, line feeds and tabs kept).
[[nodiscard]] inline std::string visible(std::string_view s) {
  return unicode::visible_controls(s);
}

}  // namespace zell::output
