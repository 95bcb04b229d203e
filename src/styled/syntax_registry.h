#pragma once
// Internal to Syntax: maps language names to definition files and loads each definition once.

#include <srchilite/highlightstate.h>

#include <string>
#include <string_view>

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

// Must be called before each line is handed to the highlighter: the rules of a loaded
// definition remember, per thread, where each one matches next in the current line.
void begin_line() noexcept;

}  // namespace styled::syntax_registry
