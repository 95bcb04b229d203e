#pragma once
// Internal to Syntax: the boundary between Syntax and the highlighting engine (the definition
// registry and the highlighters, on top of source-highlight, which brings boost_regex and
// ICU). The engine is built as a module of its own, libvellumine-syntax.so, that Syntax loads
// on the first code block it highlights, so that a program pays for mapping and relocating
// those libraries only once it draws code, never at start-up.
//
// Both sides are built from this tree by the same compiler, so the table passes C++ types;
// `abi` guards against a module left over from another build.

#include <string>
#include <string_view>

#include "styled/syntax/syntax.h"
#include "styled/text.h"

namespace styled::syntax_engine {

inline constexpr int ABI = 1;
inline constexpr const char* MODULE_FILE = "libvellumine-syntax.so";
inline constexpr const char* ENTRY_SYMBOL = "vellumine_syntax_engine";

struct Engine {
  int abi;
  // `code` highlighted as `language` into `out`; false when no definition fits the language.
  // Throws std::runtime_error when the regular expression library gives up on a line.
  bool (*highlight)(std::string_view language, const std::string& code, const CodeTheme& theme,
                    Text& out);
  // The definition file for a language name or alias ("" when none fits).
  std::string (*resolve_language)(std::string_view language);
};

// The engine, loaded on the first call (later calls return the same); null when the module
// cannot be found or is from another build, in which case code is drawn unhighlighted.
[[nodiscard]] const Engine* engine();

}  // namespace styled::syntax_engine

// The module's one exported symbol.
extern "C" const styled::syntax_engine::Engine* vellumine_syntax_engine();
