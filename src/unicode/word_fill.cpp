#include "unicode/word_fill.h"

#include <utf8proc.h>

#include <algorithm>
#include <vector>

#include "unicode/text_ops.h"
#include "unicode/utf8.h"

namespace unicode {
namespace {

// The character classes of the chunking rule. "Space" here is only the six ASCII white-space
// characters; other Unicode spaces belong to words while chunking (but count as white space
// when a line's edges are trimmed).
bool is_ascii_space(char32_t c) {
  return c == U' ' || c == U'\t' || c == U'\n' || c == 0x0b || c == 0x0c || c == U'\r';
}

bool is_digit(char32_t c) {
  return utf8proc_category(static_cast<utf8proc_int32_t>(c)) == UTF8PROC_CATEGORY_ND;
}

// A word character: a letter or a number of any script, or the underscore.
bool is_word(char32_t c) {
  if (c == U'_') return true;
  switch (utf8proc_category(static_cast<utf8proc_int32_t>(c))) {
    case UTF8PROC_CATEGORY_LU:
    case UTF8PROC_CATEGORY_LL:
    case UTF8PROC_CATEGORY_LT:
    case UTF8PROC_CATEGORY_LM:
    case UTF8PROC_CATEGORY_LO:
    case UTF8PROC_CATEGORY_ND:
    case UTF8PROC_CATEGORY_NL:
    case UTF8PROC_CATEGORY_NO:
      return true;
    default:
      return false;
  }
}

// A word character that is not a decimal digit.
bool is_letter(char32_t c) {
  return is_word(c) && !is_digit(c);
}

// Characters after which a run of hyphens counts as a dash between words.
bool is_word_punct(char32_t c) {
  return is_word(c) || c == U'!' || c == U'"' || c == U'\'' || c == U'&' || c == U'.' ||
         c == U',' || c == U'?';
}

bool is_blank_chunk(std::u32string_view chunk) {
  return std::all_of(chunk.begin(), chunk.end(), [](char32_t c) { return unicode::is_space(c); });
}

class Chunker {
 public:
  explicit Chunker(const std::u32string& s) : s_(s) {}

  std::vector<std::u32string_view> split() {
    std::vector<std::u32string_view> chunks;
    std::size_t i = 0;
    while (i < s_.size()) {
      const std::size_t end = chunk_end(i);
      chunks.push_back(std::u32string_view(s_).substr(i, end - i));
      i = end;
    }
    return chunks;
  }

 private:
  [[nodiscard]] char32_t at(std::size_t i) const { return i < s_.size() ? s_[i] : 0; }
  [[nodiscard]] bool letter_at(std::size_t i) const { return i < s_.size() && is_letter(s_[i]); }
  // Length of the run of hyphens at i.
  [[nodiscard]] std::size_t hyphens_at(std::size_t i) const {
    std::size_t n = 0;
    while (i + n < s_.size() && s_[i + n] == U'-') ++n;
    return n;
  }
  // Two or more hyphens at i followed by a word character.
  [[nodiscard]] bool dash_at(std::size_t i) const {
    const std::size_t n = hyphens_at(i);
    return n >= 2 && i + n < s_.size() && is_word(s_[i + n]);
  }

  // End of the chunk that starts at i (i < size).
  [[nodiscard]] std::size_t chunk_end(std::size_t i) const {
    if (is_ascii_space(s_[i])) {
      std::size_t j = i;
      while (j < s_.size() && is_ascii_space(s_[j])) ++j;
      return j;
    }
    if (s_[i] == U'-' && i > 0 && is_word_punct(s_[i - 1]) && dash_at(i)) {
      return i + hyphens_at(i);
    }
    // A word: the shortest run of non-space characters that ends at a hyphen breaking a
    // hyphenated word, before white space or the end, or before a dash.
    for (std::size_t k = i + 1;; ++k) {
      if (at(k) == U'-' && breaks_after_hyphen(k)) return k + 1;
      if (k == s_.size() || is_ascii_space(s_[k])) return k;
      if (is_word_punct(s_[k - 1]) && dash_at(k)) return k;
    }
  }

  // The hyphen at h splits a hyphenated word: two letters (or letter, hyphen, letter) before
  // it, and a letter, an optional hyphen and a letter after it.
  [[nodiscard]] bool breaks_after_hyphen(std::size_t h) const {
    const bool before = (h >= 2 && letter_at(h - 2) && letter_at(h - 1)) ||
                        (h >= 3 && letter_at(h - 3) && at(h - 2) == U'-' && letter_at(h - 1));
    if (!before || !letter_at(h + 1)) return false;
    return letter_at(h + 2) || (at(h + 2) == U'-' && letter_at(h + 3));
  }

  const std::u32string& s_;
};

std::u32string munge_whitespace(std::string_view paragraph) {
  std::u32string out;
  out.reserve(paragraph.size());
  std::size_t column = 0;  // tabs expand per line, as str.expandtabs does
  unicode::for_each_cp(paragraph, [&](char32_t c, std::size_t, std::size_t) {
    if (c == U'\t') {
      const std::size_t spaces = 8 - column % 8;
      out.append(spaces, U' ');
      column += spaces;
      return;
    }
    if (c == U'\n' || c == U'\r') {
      column = 0;
    } else {
      ++column;
    }
    out.push_back(is_ascii_space(c) ? U' ' : c);
  });
  return out;
}

}  // namespace

std::string word_fill(std::string_view paragraph, int width_arg) {
  const std::size_t width = static_cast<std::size_t>(std::max(1, width_arg));
  const std::u32string text = munge_whitespace(paragraph);
  std::vector<std::u32string_view> chunks = Chunker(text).split();
  std::reverse(chunks.begin(), chunks.end());  // the next chunk is at the back

  std::u32string out;
  bool first_line = true;
  std::vector<std::u32string_view> line;
  while (!chunks.empty()) {
    line.clear();
    std::size_t len = 0;
    if (!first_line && is_blank_chunk(chunks.back())) chunks.pop_back();
    while (!chunks.empty() && len + chunks.back().size() <= width) {
      len += chunks.back().size();
      line.push_back(chunks.back());
      chunks.pop_back();
    }
    if (!chunks.empty() && chunks.back().size() > width) {
      // A chunk longer than a whole line fills what is left of this one.
      const std::u32string_view chunk = chunks.back();
      const std::size_t space_left = width - len;
      std::size_t end = space_left;
      if (space_left > 0) {
        const std::size_t hyphen = chunk.substr(0, space_left).rfind(U'-');
        if (hyphen != std::u32string_view::npos && hyphen > 0 &&
            chunk.substr(0, hyphen).find_first_not_of(U'-') != std::u32string_view::npos) {
          end = hyphen + 1;
        }
      }
      line.push_back(chunk.substr(0, end));
      chunks.back() = chunk.substr(end);
    }
    if (!line.empty() && is_blank_chunk(line.back())) line.pop_back();
    if (!line.empty()) {
      if (!first_line) out.push_back(U'\n');
      for (auto piece : line) out.append(piece);
      first_line = false;
    }
  }
  std::string filled;
  filled.reserve(out.size());
  for (const char32_t c : out) unicode::append_utf8(filled, c);
  return filled;
}

}  // namespace unicode
