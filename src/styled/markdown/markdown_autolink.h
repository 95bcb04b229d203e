#pragma once
// Internal to Markdown: the links GitHub-flavoured Markdown makes of bare text — "www."
// addresses, http, https and ftp URLs, and e-mail addresses — found in one run of plain text
// while it is drawn. (cmark-gfm's own autolink extension does the same inside the parser, but
// it stops the inline parser at every "w" and ":", merges the pieces again and walks the whole
// tree a second time: on large documents it doubled the parse.)
//
//   for (const Autolink& a : find_autolinks("see www.x.org, or mail me@x.org"))
//     a.begin, a.end   -> the bytes shown as the link ("www.x.org")
//     a.url            -> where it points ("http://www.x.org", "mailto:me@x.org")
//
// The rules are GFM's: a "www." address must follow the start, white space or one of "*_~(";
// a URL's scheme is http, https or ftp (any case); the domain has no "_" in its last two
// labels (and, after "www.", at least one dot); the link runs to white space or "<", then
// loses trailing punctuation (?!.,:*_~'"), a trailing entity such as "&amp;", and each ")"
// that has no "(" to match inside it.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace styled::markdown_detail {

struct Autolink {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::string url;
  friend bool operator==(const Autolink&, const Autolink&) = default;
};

// The links in `text`, in order and not overlapping. Linear in the text.
[[nodiscard]] std::vector<Autolink> find_autolinks(std::string_view text);

}  // namespace styled::markdown_detail
