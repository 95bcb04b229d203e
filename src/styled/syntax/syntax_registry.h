#pragma once
// Internal to Syntax: maps language names to definition files, and loads each definition once
// for every caller, with the highlighter that serves it.

#include <memory>
#include <string>
#include <string_view>

namespace styled::syntax_highlighter {
class CodeHighlighter;
}

namespace styled::syntax_registry {

// The definition file ("python.lang") for a language name or alias: in `dir`, or built into
// the library (`text`) for the languages source-highlight lacks. An empty file name when no
// definition fits.
struct Definition {
  std::string dir;
  std::string file;
  std::string_view text;
};
[[nodiscard]] Definition find(std::string_view language);

// The highlighter of the language's definition, shared by every caller; null when the language
// is unknown or its definition fails to load.
[[nodiscard]] std::shared_ptr<const syntax_highlighter::CodeHighlighter> load(
    std::string_view language);

}  // namespace styled::syntax_registry
