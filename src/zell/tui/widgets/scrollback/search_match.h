#pragma once
// What the transcript's search looks for: a query matched with smart case (a query without
// capitals matches any case, one with a capital matches exactly), code point by code point on
// the text as the rows show it. Matches do not overlap: after one, the next is looked for
// where it ends.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace zell::tui::widgets {

class SearchQuery {
 public:
  SearchQuery() = default;
  explicit SearchQuery(std::string_view text);

  [[nodiscard]] const std::string& text() const { return text_; }
  [[nodiscard]] bool empty() const { return text_.empty(); }
  // Whether case is ignored (the query has no capital letter).
  [[nodiscard]] bool ignores_case() const { return ignore_case_; }

  // The match that starts at byte `from` or after: its first byte and the byte after it, or
  // npos for both when there is none.
  struct Span {
    std::size_t begin = std::string_view::npos;
    std::size_t end = std::string_view::npos;
  };
  [[nodiscard]] Span find(std::string_view text, std::size_t from = 0) const;

  template <typename Fn>
  void for_each_match(std::string_view text, Fn&& fn) const {
    if (empty()) return;
    for (Span s = find(text); s.begin != std::string_view::npos; s = find(text, s.end)) {
      fn(s.begin, s.end);
    }
  }
  [[nodiscard]] std::size_t count(std::string_view text) const;

 private:
  // The byte after the match starting at `pos`, or npos when none starts there.
  [[nodiscard]] std::size_t match_at(std::string_view text, std::size_t pos) const;

  std::string text_;
  bool ignore_case_ = true;
  bool ascii_ = true;  // the query is ASCII: case is folded byte by byte
  // The query's code points, lower-cased when case is ignored (used when it is not ASCII).
  std::vector<char32_t> folded_;
};

}  // namespace zell::tui::widgets
