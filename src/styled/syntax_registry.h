#pragma once
// Internal to Syntax: maps language names to definition files and loads each definition once.

#include <srchilite/highlightrule.h>
#include <srchilite/highlightstate.h>
#include <srchilite/highlighttoken.h>
#include <srchilite/matchingparameters.h>

#include <cstdint>

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

// Highlights `code` line by line with the definition `state`, through the library's own
// SourceHighlighter (the reference the faster path below is compared with).
[[nodiscard]] Text highlight_with(const std::string& code,
                                  const srchilite::HighlightStatePtr& state,
                                  const CodeTheme& theme);

// The same result as highlight_with, for definitions from load(): drives the definition's
// states itself, reading each rule's remembered match in place instead of copying tokens
// through the library's matching loop and buffering output in a string stream.
[[nodiscard]] Text highlight_loaded(const std::string& code,
                                    const srchilite::HighlightStatePtr& state,
                                    const CodeTheme& theme);

// The style a token of class `element` with text `text` gets in `theme`.
[[nodiscard]] Style token_style(const CodeTheme& theme, const std::string& element,
                                std::string_view text);

// What a rule of a loaded definition remembers about its first match in the current line.
struct Remembered {
  std::uint64_t generation = 0;
  std::string::const_iterator from, end, at;
  bool matched = false;
  srchilite::HighlightToken token;  // without its prefix
};

// For driving a loaded definition: the memory slot of a rule load() wrapped (NO_SLOT for any
// other rule), this thread's memory with an entry for every slot that exists when it is
// called, and the first match of a wrapped rule from `start` as its entry `m` holds it.
inline constexpr std::size_t NO_SLOT = static_cast<std::size_t>(-1);
[[nodiscard]] std::size_t memory_slot(srchilite::HighlightRule* rule);
[[nodiscard]] Remembered* thread_memory();
[[nodiscard]] const Remembered& recall(srchilite::HighlightRule* rule, Remembered& m,
                                       std::string::const_iterator start,
                                       std::string::const_iterator end,
                                       const srchilite::MatchingParameters& params);

// Must be called before each line is handed to the highlighter: the rules of a loaded
// definition remember, per thread, where each one matches next in the current line.
void begin_line() noexcept;

}  // namespace styled::syntax_registry
