#pragma once
// Reading long item texts (tool results, diffs, thinking) without copying them: stripping as a
// view and line splitting one line at a time, so an item that shows a few lines and counts the
// rest costs one pass over its text and no copy of it.
//
// White space and line boundaries are those of unicode/text_ops.h. Views may hold invalid
// UTF-8; whoever shows a piece sanitizes it (cp_prefix, Text::append).

#include <cstddef>
#include <string_view>

namespace unicode {

// `s` without the white space at both ends / at the end.
[[nodiscard]] std::string_view strip_view(std::string_view s) noexcept;
[[nodiscard]] std::string_view rstrip_view(std::string_view s) noexcept;

// The lines of a text, split at every line boundary (CR LF is one), boundaries dropped; a
// boundary at the very end gives no empty last line, and the empty text gives no lines.
//
//   LineReader reader(text);
//   std::string_view line;
//   while (reader.next(line)) { ... }
class LineReader {
 public:
  explicit LineReader(std::string_view text) noexcept : text_(text) {}
  // The next line into `line`; false when there is none.
  bool next(std::string_view& line) noexcept;
  // Skips the remaining lines and returns how many there were.
  std::size_t count_rest() noexcept;

 private:
  // Byte offset of the next line boundary at or after `from`, and its length in bytes;
  // {size, 0} when there is none.
  struct Boundary {
    std::size_t pos;
    std::size_t len;
  };
  [[nodiscard]] Boundary find_boundary(std::size_t from) const noexcept;

  std::string_view text_;
  std::size_t pos_ = 0;
};

// Calls f(piece) for every piece of `s` between line feeds, in order, keeping empty pieces
// (also the one after a final "\n"): how filled text is written row by row.
template <typename F>
void for_each_piece(std::string_view s, F&& f) {
  for (;;) {
    const std::size_t nl = s.find('\n');
    f(s.substr(0, nl));
    if (nl == std::string_view::npos) return;
    s.remove_prefix(nl + 1);
  }
}

// Whether `s` holds more than `n` code points (an invalid byte counts as one); reads at most
// n + 1 of them.
[[nodiscard]] bool longer_than(std::string_view s, std::size_t n) noexcept;

}  // namespace unicode
