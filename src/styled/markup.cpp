// Text::from_markup. Tags are "[style words]" (opens), "[/]" (closes the latest open tag) and
// "[/style words]" (closes the latest tag opened with those words); "\[" is a literal bracket.
// Anything else in brackets — words that are not a style, a close with nothing to close, an
// unfinished bracket — stays as literal text. Never throws; linear in the input.

#include <string>
#include <unordered_map>
#include <vector>

#include "styled/text.h"

namespace styled {

Text Text::from_markup(std::string_view s) {
  Text t;
  struct Open {
    std::string_view words;
    std::size_t span;  // index into t.spans_
    bool closed = false;
  };
  std::vector<Open> stack;
  std::unordered_map<std::string_view, std::vector<std::size_t>> by_words;
  auto close = [&](std::size_t index) {
    Open& o = stack[index];
    o.closed = true;
    t.spans_[o.span].end = static_cast<std::uint32_t>(t.plain_.size());
    auto& v = by_words[o.words];
    if (!v.empty() && v.back() == index) v.pop_back();
    while (!stack.empty() && stack.back().closed) stack.pop_back();
  };
  std::size_t text_start = 0;
  std::size_t next_close = std::string_view::npos;  // cached position of the next ']'
  bool no_more_close = false;
  std::size_t pos = 0;
  auto literal_until = [&](std::size_t end) {
    if (end > text_start) t.append(s.substr(text_start, end - text_start));
  };
  while (pos < s.size()) {
    const char c = s[pos];
    if (c == '\\' && pos + 1 < s.size() && s[pos + 1] == '[') {
      literal_until(pos);
      t.append("[");
      pos += 2;
      text_start = pos;
      continue;
    }
    if (c != '[') {
      ++pos;
      continue;
    }
    if (!no_more_close && (next_close == std::string_view::npos || next_close <= pos)) {
      next_close = s.find(']', pos + 1);
      if (next_close == std::string_view::npos) no_more_close = true;
    }
    if (no_more_close) break;  // no tag can follow: the rest is literal
    const std::size_t inner_open = s.find('[', pos + 1);
    if (inner_open < next_close) {
      ++pos;  // "[ ... [": the first bracket is literal
      continue;
    }
    const std::string_view words = s.substr(pos + 1, next_close - pos - 1);
    bool is_tag = false;
    if (!words.empty() && words[0] == '/') {
      const std::string_view name = words.substr(1);
      std::size_t target = std::string_view::npos;
      if (name.empty()) {
        if (!stack.empty()) target = stack.size() - 1;
      } else if (auto it = by_words.find(name); it != by_words.end() && !it->second.empty()) {
        target = it->second.back();
      }
      if (target != std::string_view::npos) {
        literal_until(pos);
        close(target);
        is_tag = true;
      }
    } else if (!words.empty()) {
      if (auto style = Style::try_parse(words)) {
        literal_until(pos);
        const auto at = static_cast<std::uint32_t>(t.plain_.size());
        if (!t.spans_.empty()) t.spans_ordered_ = false;
        t.spans_.push_back(Span{at, at, *style});
        stack.push_back(Open{words, t.spans_.size() - 1});
        by_words[words].push_back(stack.size() - 1);
        is_tag = true;
      }
    }
    if (is_tag) {
      pos = next_close + 1;
      text_start = pos;
    } else {
      ++pos;
    }
  }
  literal_until(s.size());
  for (std::size_t i = stack.size(); i-- > 0;) {
    if (!stack[i].closed) t.spans_[stack[i].span].end = static_cast<std::uint32_t>(t.plain_.size());
  }
  // Spans left empty by "[bold][/]" say nothing.
  std::erase_if(t.spans_, [](const Span& sp) { return sp.start >= sp.end; });
  return t;
}

}  // namespace styled
