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
#include "styled/syntax_context.h"
#include "styled/syntax_fast_rules.h"
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

// What a rule of a loaded definition remembers about its first match in the current line: the
// search it answers ([from, end) of line number `generation`) and the match [at, stop). A match
// of a hand-written matcher is one `element` over the whole range; a regular expression's
// match (element null) is described by `token`, without its prefix. Without a match, `settled`
// says that no later search in the line can find one either.
struct Remembered {
  std::uint64_t generation = 0;
  std::string::const_iterator from, end, at, stop;
  bool matched = false;
  bool settled = false;
  const std::string* element = nullptr;
  srchilite::HighlightToken token;
};

// A wrapped rule's hand-written matcher, the element of its matches (both null when it has
// none), whether the matcher is anchored() and what it needs().
struct FastRule {
  const syntax_fast::Matcher* matcher = nullptr;
  const std::string* element = nullptr;
  bool anchored = false;
  const syntax_fast::ByteSet* needs = nullptr;
};

// For driving a loaded definition: the memory slot of a rule load() wrapped (NO_SLOT for any
// other rule), its matcher, this thread's memory with an entry for every slot that exists
// when it is called, and the first match of a wrapped rule from `start` by its regular
// expression, searched afresh and kept in its entry `m`. The driver refreshes an entry only
// when still_holds says it does not stand for the search, with refresh_fast where it can.
inline constexpr std::size_t NO_SLOT = static_cast<std::size_t>(-1);
[[nodiscard]] std::size_t memory_slot(srchilite::HighlightRule* rule);
[[nodiscard]] FastRule fast_rule(srchilite::HighlightRule* rule);
[[nodiscard]] Remembered* thread_memory();
[[nodiscard]] syntax_context::Context memory_context(srchilite::HighlightRule* rule);
[[nodiscard]] const Remembered& refresh_by_regex(srchilite::HighlightRule* rule, Remembered& m,
                                                 std::string::const_iterator start,
                                                 std::string::const_iterator end,
                                                 const srchilite::MatchingParameters& params);

// The first match from `start` by the rule's hand-written matcher, remembered in `m` for line
// number `line`; false (and `m` untouched) when the matcher is unsure and the regular
// expression must be asked. `plain_end` is syntax_fast::first_unusual(start, end); with the
// bytes of the whole line, a rule that needs none of them is settled without a search. Inline:
// the driver calls it for most fresh searches.
inline bool refresh_fast(const FastRule& fast, Remembered& m, std::uint64_t line,
                         std::string::const_iterator start, std::string::const_iterator end,
                         std::string::const_iterator plain_end, bool bol,
                         const syntax_fast::ByteSet* line_bytes = nullptr) {
  if (line_bytes != nullptr && fast.needs != nullptr && !line_bytes->meets(*fast.needs)) {
    m.generation = line;
    m.from = start;
    m.end = end;
    m.matched = false;
    m.settled = true;
    return true;
  }
  std::string::const_iterator begin, stop;
  bool unsure = false;
  const bool matched = fast.matcher->find(start, end, plain_end, bol, begin, stop, unsure);
  if (unsure) return false;
  m.generation = line;
  m.from = start;
  m.end = end;
  m.matched = matched;
  // The match stays a range of the line: copying its text into a token at every fresh search
  // cost more than the search.
  if (matched) {
    m.at = begin;
    m.stop = stop;
    m.element = fast.element;
  }
  m.settled = !matched && fast.anchored && !bol && plain_end == end;
  return true;
}

// Must be called before each line is handed to the highlighter: the rules of a loaded
// definition remember, per thread, where each one matches next in the current line.
void begin_line() noexcept;
// The current line's number in this thread's memory (changed by begin_line).
[[nodiscard]] std::uint64_t current_line() noexcept;

inline bool is_word_byte(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' ||
         u >= 0x80;
}

// Whether the entry `m` of a rule whose pattern looks back as `context` says stands for a
// search from `start` in line number `line`, so that it needs no refresh. Inline
// so the driver asks only rules whose memory has to be refreshed.
// A search the library starts in the middle of a word sees no context before it ("\\<" and
// look-behinds read the start as the start of the text), so it may match where the earlier
// search did not: those searches are always made afresh. Rules that cannot tell
// (syntax_context.h) reuse their memory there too. (The memory's own line and position are
// checked first: only then is there a byte before `start`.)
// `after_word` and `before_word` say whether the bytes before and at `start` are word bytes
// (false where there is none): the driver finds them once for all the rules it asks.
inline bool still_holds(const Remembered& m, std::uint64_t line, syntax_context::Context context,
                        std::string::const_iterator start, std::string::const_iterator end,
                        bool after_word, bool before_word) {
  return m.generation == line && m.end == end && m.from <= start && (!m.matched || m.at >= start) &&
         (start == m.from || !after_word || context == syntax_context::Context::none ||
          (context == syntax_context::Context::word_start && !before_word));
}

inline bool still_holds(const Remembered& m, std::uint64_t line, syntax_context::Context context,
                        std::string::const_iterator start, std::string::const_iterator end) {
  if (m.generation != line || m.end != end || m.from > start) return false;
  return still_holds(m, line, context, start, end, m.from < start && is_word_byte(start[-1]),
                     start != end && is_word_byte(*start));
}

}  // namespace styled::syntax_registry
