#include "styled/syntax/syntax_context.h"

namespace styled::syntax_context {

// A conservative scan: anything that might be an assertion about what comes before
// (word boundaries, start anchors, "\G") counts, inside character classes too; look-behinds
// (and named groups, also spelled "(?<") rule out any reuse. A match that starts after the
// search start reads only characters from the search start on, which both searches see; so
// for a pattern led by "\<" (with no top-level alternative) tested from a non-word character,
// where no match can start, the assertions further on do not matter. Non-capturing groups
// around the lead ("(?:\<...)") count as long as none of them has an alternative of its own
// or a repeat that could skip it.
Context of(std::string_view p) {
  std::size_t leading_groups = 0;
  while (p.substr(leading_groups * 3, 3) == "(?:") ++leading_groups;
  const bool leads_with_word_start = p.substr(leading_groups * 3, 2) == "\\<";
  // How many of the leading groups are still open.
  auto open_leading = static_cast<int>(leading_groups);
  bool alternative_around_lead = false;
  bool assertion = false;
  int depth = 0;
  bool in_class = false;
  for (std::size_t i = 0; i < p.size(); ++i) {
    const char c = p[i];
    if (c == '\\') {
      if (i + 1 >= p.size()) return Context::any;
      const char e = p[++i];
      if (e == 'b' || e == 'B' || e == '<' || e == '>' || e == 'A' || e == '`' || e == 'G') {
        assertion = true;
      }
      continue;
    }
    if (in_class) {
      if (c == '[' && i + 1 < p.size() && p[i + 1] == ':') {
        // A named class ("[:alpha:]") inside the brackets.
        const std::size_t close = p.find(":]", i + 2);
        if (close == std::string_view::npos) return Context::any;
        i = close + 1;
      } else if (c == ']') {
        in_class = false;
      }
      continue;
    }
    switch (c) {
      case '[':
        in_class = true;
        // A ']' right after "[" or "[^" is a literal member.
        if (i + 1 < p.size() && p[i + 1] == '^') ++i;
        if (i + 1 < p.size() && p[i + 1] == ']') ++i;
        break;
      case '(':
        if (p.substr(i, 3) == "(?<") return Context::any;
        ++depth;
        break;
      case ')':
        if (--depth < 0) return Context::any;
        if (depth < open_leading) {
          open_leading = depth;
          // A repeat that may match nothing skips the lead.
          if (i + 1 < p.size() &&
              std::string_view("*+?{").find(p[i + 1]) != std::string_view::npos) {
            alternative_around_lead = true;
          }
        }
        break;
      case '|':
        if (depth <= open_leading) alternative_around_lead = true;
        break;
      case '^':
        assertion = true;
        break;
      default:
        break;
    }
  }
  if (in_class || depth != 0) return Context::any;
  if (leads_with_word_start && !alternative_around_lead) return Context::word_start;
  return assertion ? Context::any : Context::none;
}

}  // namespace styled::syntax_context
