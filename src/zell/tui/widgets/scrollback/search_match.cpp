#include "zell/tui/widgets/scrollback/search_match.h"

#include <utf8proc.h>

#include <array>
#include <cstring>

#include "unicode/utf8.h"

namespace zell::tui::widgets {
namespace {

char32_t lower_cp(char32_t cp) {
  return static_cast<char32_t>(utf8proc_tolower(static_cast<utf8proc_int32_t>(cp)));
}

constexpr std::array<unsigned char, 256> ASCII_LOWER = [] {
  std::array<unsigned char, 256> t{};
  for (int i = 0; i < 256; ++i) {
    t[static_cast<std::size_t>(i)] = static_cast<unsigned char>(i >= 'A' && i <= 'Z' ? i + 32 : i);
  }
  return t;
}();

unsigned char fold_byte(char c) {
  return ASCII_LOWER[static_cast<unsigned char>(c)];
}

}  // namespace

SearchQuery::SearchQuery(std::string_view text) : text_(text) {
  unicode::for_each_cp(text_, [this](char32_t cp, std::size_t, std::size_t) {
    if (cp >= 0x80) ascii_ = false;
    if (lower_cp(cp) != cp) ignore_case_ = false;
  });
  if (!ignore_case_ || ascii_) return;
  unicode::for_each_cp(
      text_, [this](char32_t cp, std::size_t, std::size_t) { folded_.push_back(lower_cp(cp)); });
}

std::size_t SearchQuery::match_at(std::string_view text, std::size_t pos) const {
  for (const char32_t want : folded_) {
    if (pos >= text.size()) return std::string_view::npos;
    const unicode::Decoded got = unicode::decode_at(text, pos);
    if (lower_cp(got.cp) != want) return std::string_view::npos;
    pos += got.len;
  }
  return pos;
}

SearchQuery::Span SearchQuery::find(std::string_view text, std::size_t from) const {
  if (empty() || from > text.size()) return {};
  // Exact bytes: valid UTF-8 matches code point for code point where its bytes match.
  if (!ignore_case_) {
    const std::size_t at = text.find(text_, from);
    if (at == std::string_view::npos) return {};
    return {at, at + text_.size()};
  }
  if (ascii_) {
    // Every ASCII byte starts a code point, and no byte of a longer one is ASCII. Candidates
    // are found by memchr for either case of the first letter.
    const std::size_t n = text_.size();
    if (text.size() - from < n) return {};
    const auto lower_first = static_cast<char>(fold_byte(text_[0]));
    const char upper_first = lower_first >= 'a' && lower_first <= 'z'
                                 ? static_cast<char>(lower_first - 32)
                                 : lower_first;
    const char* base = text.data();
    const std::size_t end = text.size() - n + 1;  // candidates lie before this
    for (std::size_t pos = from; pos < end;) {
      const void* hit = std::memchr(base + pos, lower_first, end - pos);
      std::size_t at = hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - base) : end;
      if (upper_first != lower_first) {
        if (const void* up = std::memchr(base + pos, upper_first, at - pos)) {
          at = static_cast<std::size_t>(static_cast<const char*>(up) - base);
        }
      }
      if (at >= end) return {};
      std::size_t k = 1;
      while (k < n && fold_byte(text[at + k]) == fold_byte(text_[k])) ++k;
      if (k == n) return {at, at + n};
      pos = at + 1;
    }
    return {};
  }
  for (std::size_t pos = from; pos < text.size();) {
    const std::size_t end = match_at(text, pos);
    if (end != std::string_view::npos) return {pos, end};
    pos += unicode::decode_at(text, pos).len;
  }
  return {};
}

std::size_t SearchQuery::count(std::string_view text) const {
  std::size_t n = 0;
  for_each_match(text, [&n](std::size_t, std::size_t) { ++n; });
  return n;
}

}  // namespace zell::tui::widgets
