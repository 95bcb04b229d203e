#pragma once
// Internal to the fast highlighter: what each rule of a definition remembers about its next
// match in the current line, and when that memory may stand in for a fresh search.
//
// source-highlight asks every rule of the current state for its first match in the rest of
// the line after each token, so a line of T tokens costs T × (number of rules) searches. A
// rule's first match from an earlier position is still its first match from any later
// position up to where it starts (matching at a position depends only on the line, not on
// where the search began), so each rule remembers its last answer for the current line and
// is searched again only once the line has moved past it.

#include <srchilite/highlighttoken.h>

#include <cstdint>
#include <string>

#include "styled/syntax/syntax_context.h"
#include "styled/syntax/syntax_fast_rules.h"

namespace styled::syntax_memory {

// What a rule remembers about its first match in the current line: the search it answers
// ([from, end) of line number `line`) and the match [at, stop). A match of a hand-written
// matcher is one `element` over the whole range; a regular expression's match (element null)
// is described by `token`, without its prefix. Without a match, `settled` says that no later
// search in the line can find one either.
struct Remembered {
  std::uint64_t line = 0;
  std::string::const_iterator from, end, at, stop;
  bool matched = false;
  bool settled = false;
  const std::string* element = nullptr;
  srchilite::HighlightToken token;
};

// A rule's hand-written matcher, the element of its matches (both null when it has none),
// whether the matcher is anchored() and what it needs().
struct FastRule {
  const syntax_fast::Matcher* matcher = nullptr;
  const std::string* element = nullptr;
  bool anchored = false;
  const syntax_fast::ByteSet* needs = nullptr;
};

// The first match from `start` by the rule's hand-written matcher, remembered in `m` for line
// number `line`; false (and `m` untouched) when the matcher is unsure and the regular
// expression must be asked. `plain_end` is syntax_fast::first_unusual(start, end); with the
// bytes of the whole line, a rule that needs none of them is settled without a search.
inline bool refresh_fast(const FastRule& fast, Remembered& m, std::uint64_t line,
                         std::string::const_iterator start, std::string::const_iterator end,
                         std::string::const_iterator plain_end, bool bol,
                         const syntax_fast::ByteSet& line_bytes) {
  if (fast.needs != nullptr && !line_bytes.meets(*fast.needs)) {
    m.line = line;
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
  m.line = line;
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

inline bool is_word_byte(char c) {
  const auto u = static_cast<unsigned char>(c);
  return (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') || u == '_' ||
         u >= 0x80;
}

// Whether `m`, of a rule whose pattern looks back as `context` says, stands for a search from
// `start` in line number `line`, so that it needs no refresh.
// A search the library starts in the middle of a word sees no context before it ("\\<" and
// look-behinds read the start as the start of the text), so it may match where the earlier
// search did not: those searches are always made afresh. Rules that cannot tell
// (syntax_context.h) reuse their memory there too. `after_word` and `before_word` say whether
// the bytes before and at `start` are word bytes (false where there is none).
inline bool still_holds(const Remembered& m, std::uint64_t line, syntax_context::Context context,
                        std::string::const_iterator start, std::string::const_iterator end,
                        bool after_word, bool before_word) {
  return m.line == line && m.end == end && m.from <= start && (!m.matched || m.at >= start) &&
         (start == m.from || !after_word || context == syntax_context::Context::none ||
          (context == syntax_context::Context::word_start && !before_word));
}

}  // namespace styled::syntax_memory
