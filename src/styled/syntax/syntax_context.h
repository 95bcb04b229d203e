#pragma once
// Internal to Syntax: how much a rule's regular expression looks before the position where a
// search starts. source-highlight searches each rule from the current position with no
// context before it, so "\<", "\b", look-behinds and the like read that position as the start
// of the text; a remembered match from an earlier position may only stand in for a new search
// when the difference cannot show.

#include <string_view>

namespace styled::syntax_context {

enum class Context {
  none,        // never looks before the position it tests: any earlier search stands in
  word_start,  // starts with "\<" and looks back nowhere else: a search from a non-word
               // character gives what a search with context gives
  any,         // may read the character before the search start
};

[[nodiscard]] Context of(std::string_view pattern);

}  // namespace styled::syntax_context
