#pragma once
// Internal to Syntax: how code is cut into the lines the highlighter is handed.

#include <string_view>

namespace styled::syntax_lines {

// Calls f(line, more) for each line of `code`, split at line feeds only (a trailing one gives
// no empty last line); `more` says whether another line follows.
template <typename F>
void for_each_line(std::string_view code, F&& f) {
  std::size_t start = 0;
  while (start < code.size()) {
    const std::size_t nl = code.find('\n', start);
    const std::size_t end = nl == std::string_view::npos ? code.size() : nl;
    f(code.substr(start, end - start), nl != std::string_view::npos && nl + 1 < code.size());
    if (nl == std::string_view::npos) break;
    start = nl + 1;
  }
}

}  // namespace styled::syntax_lines
