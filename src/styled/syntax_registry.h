#pragma once
// Internal to Syntax: maps language names to definition files and loads each definition once.

#include <srchilite/highlightstate.h>

#include <string>
#include <string_view>

#include "styled/syntax.h"
#include "styled/text.h"

namespace styled::syntax_registry {

// The definition file ("python.lang") and its directory for a language name or alias; an
// empty file name when no definition fits.
struct Definition {
  std::string dir;
  std::string file;
};
[[nodiscard]] Definition find(std::string_view language);

// The loaded definition, shared by every caller; null when it is unknown or fails to load.
[[nodiscard]] srchilite::HighlightStatePtr load(std::string_view language);

// The definition as source-highlight loads it, without the per-line memory and the
// hand-written matchers; loaded afresh on every call. For comparing the two in tests.
[[nodiscard]] srchilite::HighlightStatePtr load_unmodified(std::string_view language);

// Highlights `code` line by line with the definition `state`.
[[nodiscard]] Text highlight_with(const std::string& code,
                                  const srchilite::HighlightStatePtr& state,
                                  const CodeTheme& theme);

// Must be called before each line is handed to the highlighter: the rules of a loaded
// definition remember, per thread, where each one matches next in the current line.
void begin_line() noexcept;

}  // namespace styled::syntax_registry
