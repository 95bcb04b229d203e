#pragma once
// Internal to Syntax: hand-written matchers for the rule shapes that dominate highlighting
// time (lists of operator characters, keyword lists, the function-name rule, quoted strings,
// literals after optional white space). Each gives exactly the first match the rule's regular
// expression gives for a search from the same position — the tests compare them with the
// library's own matching — and the rules of any other shape keep using it.

#include <array>
#include <cstdint>
#include <memory>
#include <string>

namespace styled::syntax_fast {

// Bytes whose classification could depend on the locale or on line-break rules (anything from
// 0x80 on, and controls other than tab); a matcher that would have to read one gives up.
[[nodiscard]] inline bool unusual(unsigned char c) {
  return c >= 0x80 || (c < 0x20 && c != '\t');
}

// A set of byte values.
struct ByteSet {
  std::array<std::uint64_t, 4> bits{};
  void add(unsigned char c) { bits[c >> 6U] |= std::uint64_t{1} << (c & 63U); }
  [[nodiscard]] bool meets(const ByteSet& other) const {
    return ((bits[0] & other.bits[0]) | (bits[1] & other.bits[1]) | (bits[2] & other.bits[2]) |
            (bits[3] & other.bits[3])) != 0;
  }
};

// The byte values that occur in [from, to).
[[nodiscard]] ByteSet bytes_of(std::string::const_iterator from, std::string::const_iterator to);

// The unusual byte values (see unusual()).
[[nodiscard]] const ByteSet& unusual_bytes();

// The first unusual byte in [start, end), or `end`. Known once per line, it spares every
// matcher a scan of the rest of the line at every search.
[[nodiscard]] std::string::const_iterator first_unusual(std::string::const_iterator start,
                                                        std::string::const_iterator end);

class Matcher {
 public:
  virtual ~Matcher() = default;
  // The first match in [start, end) as [begin, stop); false when there is none. `plain_end` is
  // first_unusual(start, end). `bol` says whether `start` counts as the beginning of the line
  // (for "^"). `unsure` is set when the input holds something the matcher does not model, and
  // the caller must ask the regular expression instead.
  virtual bool find(std::string::const_iterator start, std::string::const_iterator end,
                    std::string::const_iterator plain_end, bool bol,
                    std::string::const_iterator& begin, std::string::const_iterator& stop,
                    bool& unsure) const = 0;
  // Whether it matches only at a search start that counts as the beginning of the line ("^"
  // with nothing before it that can be empty). With no unusual byte left, where "^" could also
  // match after a line separator, a search that is not at the beginning finds nothing, and
  // neither does any later search in the line.
  [[nodiscard]] virtual bool anchored() const { return false; }
  // Bytes one of which every match reads (in the match or in what it looks ahead at), or null
  // when the matcher does not say: a line holding none of them has no match anywhere, which
  // one look at the line's bytes tells before any search.
  [[nodiscard]] const ByteSet* needs() const { return has_needs_ ? &needs_ : nullptr; }

 protected:
  void need(unsigned char c) {
    needs_.add(c);
    has_needs_ = true;
  }

 private:
  ByteSet needs_;
  bool has_needs_ = false;
};

// A matcher for the regular expression `pattern`, or null when it has no known shape.
[[nodiscard]] std::unique_ptr<Matcher> matcher_for(const std::string& pattern);

}  // namespace styled::syntax_fast
