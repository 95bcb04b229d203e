#include "styled/syntax/syntax_fast_rules.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

namespace styled::syntax_fast {

namespace {

using It = std::string::const_iterator;

// "[[:word:]]" in the C locale, looked up rather than compared: the word matchers test every
// byte they pass.
constexpr std::array<bool, 256> WORD_BYTES = [] {
  std::array<bool, 256> t{};
  for (int c = 0; c < 256; ++c) {
    t[static_cast<std::size_t>(c)] =
        (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
  }
  return t;
}();
bool is_word(unsigned char c) {
  return WORD_BYTES[c];
}
bool is_alpha(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_blank(unsigned char c) {
  return c == ' ' || c == '\t';
}
bool is_space(unsigned char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}
// What a word matcher makes of one run of word bytes.
enum class WordVerdict { skip, match, unsure };

// Calls on_word(first, past) for each run of word bytes from `start` until it reports a match
// (true) or an unsure case. A byte the fast path cannot judge (at `plain_end`), before or right
// after a run, also sets `unsure`, so the line is left to the regular expression. Unusual bytes
// are not word bytes, so no run reaches past `plain_end`.
template <typename OnWord>
bool scan_words(It start, It end, It plain_end, bool& unsure, OnWord&& on_word) {
  It p = start;
  while (p != plain_end) {
    if (!is_word(static_cast<unsigned char>(*p))) {
      ++p;
      continue;
    }
    It q = p;
    while (q != plain_end && is_word(static_cast<unsigned char>(*q))) ++q;
    if (q != end && q == plain_end) {
      unsure = true;
      return false;
    }
    switch (on_word(p, q)) {
      case WordVerdict::match:
        return true;
      case WordVerdict::unsure:
        unsure = true;
        return false;
      case WordVerdict::skip:
        break;
    }
    p = q;
  }
  unsure = plain_end != end;
  return false;
}

std::string_view strip_group(std::string_view p) {
  if (p.size() >= 4 && p.substr(0, 3) == "(?:" && p.back() == ')') {
    // Only when the parentheses enclose the whole pattern.
    int depth = 0;
    for (std::size_t i = 0; i < p.size(); ++i) {
      if (p[i] == '\\') {
        ++i;
        continue;
      }
      if (p[i] == '(') ++depth;
      if (p[i] == ')' && --depth == 0 && i + 1 != p.size()) return p;
    }
    return p.substr(3, p.size() - 4);
  }
  return p;
}

// Splits at top-level '|'; fails (empty result) on any group or class inside.
std::vector<std::string_view> alternatives(std::string_view p) {
  std::vector<std::string_view> out;
  std::size_t from = 0;
  for (std::size_t i = 0; i < p.size(); ++i) {
    if (p[i] == '\\') {
      ++i;
      continue;
    }
    if (p[i] == '(' || p[i] == ')' || p[i] == '[') return {};
    if (p[i] == '|') {
      out.push_back(p.substr(from, i - from));
      from = i + 1;
    }
  }
  out.push_back(p.substr(from));
  return out;
}

// A literal: plain characters, escaped punctuation ("\(", "\""), and "c{n}" repeats of the
// character before. Anything with another meaning in a regular expression fails.
bool literal(std::string_view p, std::string& out) {
  out.clear();
  for (std::size_t i = 0; i < p.size(); ++i) {
    const auto c = static_cast<unsigned char>(p[i]);
    if (c == '\\') {
      if (i + 1 >= p.size()) return false;
      const auto e = static_cast<unsigned char>(p[++i]);
      if (is_word(e) || e >= 0x80) return false;  // \w, \d, \<, \z, ... are not literals
      out += static_cast<char>(e);
      continue;
    }
    if (c == '{') {
      const std::size_t close = p.find('}', i);
      if (out.empty() || close == std::string_view::npos || close == i + 1) return false;
      int n = 0;
      for (std::size_t k = i + 1; k < close; ++k) {
        if (p[k] < '0' || p[k] > '9') return false;
        n = n * 10 + (p[k] - '0');
      }
      if (n < 1 || n > 16) return false;
      out.append(static_cast<std::size_t>(n - 1), out.back());
      i = close;
      continue;
    }
    if (std::string_view(".^$|?*+()[]{}").find(static_cast<char>(c)) != std::string_view::npos) {
      return false;
    }
    if (c >= 0x80 || c < 0x20) return false;
    out += static_cast<char>(c);
  }
  return !out.empty();
}

// "(?:a|b|...)": the first alternative, in order, that matches at the leftmost position.
class LiteralAlternatives : public Matcher {
 public:
  explicit LiteralAlternatives(std::vector<std::string> lits) : lits_(std::move(lits)) {
    for (const auto& l : lits_) {
      first_[static_cast<unsigned char>(l[0])] = true;
      need(static_cast<unsigned char>(l[0]));
      single_bytes_ = single_bytes_ && l.size() == 1;
    }
  }
  bool find(It start, It end, It plain_end, bool bol, It& begin, It& stop,
            bool& unsure) const override {
    (void)bol;
    // A literal holds no unusual byte, so none can match at or across `plain_end`.
    for (It p = start; p != plain_end; ++p) {
      if (!first_[static_cast<unsigned char>(*p)]) continue;
      if (single_bytes_) {  // lists of operator characters: the byte is the match
        begin = p;
        stop = p + 1;
        return true;
      }
      for (const auto& l : lits_) {
        if (static_cast<std::size_t>(end - p) >= l.size() && std::equal(l.begin(), l.end(), p)) {
          begin = p;
          stop = p + static_cast<std::ptrdiff_t>(l.size());
          return true;
        }
      }
    }
    unsure = plain_end != end;
    return false;
  }

 private:
  std::vector<std::string> lits_;
  std::array<bool, 256> first_{};
  bool single_bytes_ = true;
};

// "\<(?:w1|w2|...)\>" over plain words: a whole word of the list. As in the library's own
// searches, the search start counts as the start of a word.
class KeywordList : public Matcher {
 public:
  explicit KeywordList(const std::vector<std::string>& words) {
    for (const std::string& w : words) {
      if (w.empty()) continue;
      need(static_cast<unsigned char>(w.front()));
      std::uint8_t& index = bucket_of_[static_cast<unsigned char>(w.front())];
      if (index == 0) {
        buckets_.emplace_back();
        index = static_cast<std::uint8_t>(buckets_.size());  // at most one per word byte
      }
      Bucket& b = buckets_[index - 1U];
      b.words.push_back(w);
      b.lengths |= length_bit(w.size());
    }
  }
  bool find(It start, It end, It plain_end, bool bol, It& begin, It& stop,
            bool& unsure) const override {
    (void)bol;
    return scan_words(start, end, plain_end, unsure, [&](It p, It q) {
      // Most words of a line are not keywords: their first byte or length tells, and the
      // few keywords that share both are compared directly.
      const std::uint8_t index = bucket_of_[static_cast<unsigned char>(*p)];
      if (index == 0) return WordVerdict::skip;
      const Bucket& b = buckets_[index - 1U];
      const auto len = static_cast<std::size_t>(q - p);
      if ((b.lengths & length_bit(len)) == 0) return WordVerdict::skip;
      for (const std::string& w : b.words) {
        if (w.size() == len && std::equal(w.begin(), w.end(), p)) {
          begin = p;
          stop = q;
          return WordVerdict::match;
        }
      }
      return WordVerdict::skip;
    });
  }

 private:
  // One bit per word length; lengths from 63 on share the last bit.
  static std::uint64_t length_bit(std::size_t len) {
    return std::uint64_t{1} << std::min<std::size_t>(len, 63);
  }
  // The keywords that start with one byte, and the lengths among them.
  struct Bucket {
    std::vector<std::string> words;
    std::uint64_t lengths = 0;
  };
  std::array<std::uint8_t, 256> bucket_of_{};  // 1 + index into buckets_, 0 for none
  std::vector<Bucket> buckets_;
};

// "(?:[[:alpha:]]|_)[[:word:]]*(?=[[:blank:]]*\()": a name followed by "(".
class FunctionName : public Matcher {
 public:
  FunctionName() { need('('); }
  bool find(It start, It end, It plain_end, bool bol, It& begin, It& stop,
            bool& unsure) const override {
    (void)bol;
    return scan_words(start, end, plain_end, unsure, [&](It p, It q) {
      // The name may start at any letter or "_" of the run (digits cannot start it); the
      // run's end and what follows it are the same for all of them.
      It r = q;
      while (r != plain_end && is_blank(static_cast<unsigned char>(*r))) ++r;
      if (r != end && r == plain_end) return WordVerdict::unsure;
      if (r == end || *r != '(') return WordVerdict::skip;
      for (It s = p; s != q; ++s) {
        const auto d = static_cast<unsigned char>(*s);
        if (is_alpha(d) || d == '_') {
          begin = s;
          stop = q;
          return WordVerdict::match;
        }
      }
      return WordVerdict::skip;
    });
  }
};

// "(?:[[:space:]]*LIT)": a literal with the white space right before it.
class SpacedLiteral : public Matcher {
 public:
  SpacedLiteral(std::string lit, bool anchored) : lit_(std::move(lit)), anchored_(anchored) {
    need(static_cast<unsigned char>(lit_.front()));
  }
  [[nodiscard]] bool anchored() const override { return anchored_; }
  bool find(It start, It end, It plain_end, bool bol, It& begin, It& stop,
            bool& unsure) const override {
    if (plain_end != end) {
      unsure = true;
      return false;
    }
    if (anchored_) return find_anchored(start, end, bol, begin, stop);
    const std::string_view s(&*start, static_cast<std::size_t>(end - start));
    const std::size_t at = s.find(lit_);
    if (at == std::string_view::npos) return false;
    std::size_t from = at;
    while (from > 0 && is_space(static_cast<unsigned char>(s[from - 1]))) --from;
    begin = start + static_cast<std::ptrdiff_t>(from);
    stop = start + static_cast<std::ptrdiff_t>(at + lit_.size());
    return true;
  }

 private:
  // "^(?:[[:space:]]*LIT)": only at the beginning of the line.
  bool find_anchored(It start, It end, bool bol, It& begin, It& stop) const {
    if (!bol) return false;
    It p = start;
    while (p != end && is_space(static_cast<unsigned char>(*p))) ++p;
    if (static_cast<std::size_t>(end - p) < lit_.size() ||
        !std::equal(lit_.begin(), lit_.end(), p)) {
      return false;
    }
    begin = start;
    stop = p + static_cast<std::ptrdiff_t>(lit_.size());
    return true;
  }

  std::string lit_;
  bool anchored_;
};

// Whether the quoted string with backslash escapes that starts at `p` (a quote `q`) is closed,
// and if so where it ends (past its closing quote). The body holds no unescaped quote and a
// backslash always takes the next byte, so backtracking cannot close it anywhere else.
bool close_quoted(It p, It end, char q, It& past) {
  It s = p + 1;
  while (s != end) {
    if (*s == '\\') {
      if (s + 1 == end) return false;
      s += 2;
      continue;
    }
    if (*s == q) {
      past = s + 1;
      return true;
    }
    ++s;
  }
  return false;
}

// A matcher that reads only plain bytes (unsure of any other) and finds the first position
// from the start at which `Self::match_at(start, p, end, stop)` matches.
template <typename Self>
class FirstPositionMatcher : public Matcher {
 public:
  bool find(It start, It end, It plain_end, bool, It& begin, It& stop, bool& unsure) const final {
    if (plain_end != end) {
      unsure = true;
      return false;
    }
    for (It p = start; p != end; ++p) {
      if (static_cast<const Self*>(this)->match_at(start, p, end, stop)) {
        begin = p;
        return true;
      }
    }
    return false;
  }
};

// Q(?:[^\\Q]|\\.)*Q — a quoted string with backslash escapes.
class QuotedString : public FirstPositionMatcher<QuotedString> {
 public:
  explicit QuotedString(char q) : q_(q) { need(static_cast<unsigned char>(q)); }
  // A quote that opens no closed string may still be followed by one that does.
  bool match_at(It, It p, It end, It& stop) const {
    return *p == q_ && close_quoted(p, end, q_, stop);
  }

 private:
  char q_;
};

// "^(?:[[:space:]]*'...'[[:space:]]*|[[:space:]]*\"...\"[[:space:]]*)$": a line that holds
// nothing but one quoted string (Python's lone docstring lines).
constexpr std::string_view LONE_STRING_PATTERN =
    R"((?:^(?:[[:space:]]*'(?:[^\\']|\\.)*'[[:space:]]*|[[:space:]]*\"(?:[^\\\"]|\\.)*\"[[:space:]]*)$))";

class LoneStringLine : public Matcher {
 public:
  LoneStringLine() {
    need('\'');
    need('"');
  }
  [[nodiscard]] bool anchored() const override { return true; }
  bool find(It start, It end, It plain_end, bool bol, It& begin, It& stop,
            bool& unsure) const override {
    // Unusual bytes include the line separators after which "^" and before which "$" match.
    if (plain_end != end) {
      unsure = true;
      return false;
    }
    if (!bol) return false;
    // The two alternatives differ only in the quote, which the first non-blank byte picks.
    It p = start;
    while (p != end && is_blank(static_cast<unsigned char>(*p))) ++p;
    if (p == end || (*p != '\'' && *p != '"')) return false;
    It rest;
    if (!close_quoted(p, end, *p, rest)) return false;
    while (rest != end && is_blank(static_cast<unsigned char>(*rest))) ++rest;
    if (rest != end) return false;
    begin = start;
    stop = end;
    return true;
  }
};

// "\z": the end of the text, which is always there (an empty match).
class EndOfText : public Matcher {
 public:
  bool find(It start, It end, It plain_end, bool bol, It& begin, It& stop,
            bool& unsure) const override {
    (void)start, (void)plain_end, (void)bol, (void)unsure;
    begin = end;
    stop = end;
    return true;
  }
};

// The number rule most definitions share: decimal and hexadecimal numbers with optional
// fraction, exponent and C-like suffixes, as whole words. Alternatives and greedy repeats are
// tried in the order the regular expression tries them.
constexpr std::string_view NUMBER_PATTERN =
    R"((?:\<[+-]?(?:(?:0x[[:xdigit:]]+)|(?:(?:[[:digit:]]*\.)?[[:digit:]]+(?:[eE][+-]?[[:digit:]]+)?))u?(?:(?:int(?:8|16|32|64))|L)?\>))";

bool is_digit(unsigned char c) {
  return c >= '0' && c <= '9';
}
bool is_xdigit(unsigned char c) {
  return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

class NumberLiteral : public FirstPositionMatcher<NumberLiteral> {
 public:
  NumberLiteral() {
    for (char d = '0'; d <= '9'; ++d) need(static_cast<unsigned char>(d));
  }
  // A digit at a word start that begins a whole literal.
  bool match_at(It start, It p, It end, It& stop) const {
    if (!is_digit(static_cast<unsigned char>(*p))) return false;
    if (p != start && is_word(static_cast<unsigned char>(p[-1]))) return false;
    return at(p, end, stop);
  }

 private:
  static std::size_t run(It p, It end, bool (*pred)(unsigned char)) {
    std::size_t n = 0;
    while (p != end && pred(static_cast<unsigned char>(*p))) {
      ++p;
      ++n;
    }
    return n;
  }
  // The optional "u", the optional size suffix and the closing word boundary after c.
  static bool finish(It c, It end, It& e) {
    static constexpr std::string_view SUFFIXES[] = {"int8", "int16", "int32", "int64", "L", ""};
    for (int with_u = 1; with_u >= 0; --with_u) {
      It u = c;
      if (with_u != 0) {
        if (u == end || *u != 'u') continue;
        ++u;
      }
      for (std::string_view sfx : SUFFIXES) {
        if (static_cast<std::size_t>(end - u) < sfx.size() ||
            !std::equal(sfx.begin(), sfx.end(), u)) {
          continue;
        }
        const It f = u + static_cast<std::ptrdiff_t>(sfx.size());
        if (f == end || !is_word(static_cast<unsigned char>(*f))) {
          e = f;
          return true;
        }
      }
    }
    return false;
  }
  // digits+ from q (longest first), then the optional exponent, then the suffixes. A shorter
  // run is followed by a digit, so only the longest can take an exponent.
  static bool digits_then_rest(It q, It end, It& e) {
    const std::size_t m = run(q, end, is_digit);
    for (std::size_t k = m; k >= 1; --k) {
      const It c0 = q + static_cast<std::ptrdiff_t>(k);
      if (k == m && c0 != end && (*c0 == 'e' || *c0 == 'E')) {
        for (int with_sign = 1; with_sign >= 0; --with_sign) {
          It d = c0 + 1;
          if (with_sign != 0) {
            if (d == end || (*d != '+' && *d != '-')) continue;
            ++d;
          }
          const std::size_t n = run(d, end, is_digit);
          for (std::size_t j = n; j >= 1; --j) {
            if (finish(d + static_cast<std::ptrdiff_t>(j), end, e)) return true;
          }
        }
      }
      if (finish(c0, end, e)) return true;
    }
    return false;
  }
  static bool at(It p, It end, It& e) {
    if (*p == '0' && p + 1 != end && p[1] == 'x') {
      const std::size_t k = run(p + 2, end, is_xdigit);
      for (std::size_t j = k; j >= 1; --j) {
        if (finish(p + 2 + static_cast<std::ptrdiff_t>(j), end, e)) return true;
      }
    }
    const It dot = p + static_cast<std::ptrdiff_t>(run(p, end, is_digit));
    if (dot != end && *dot == '.' && digits_then_rest(dot + 1, end, e)) return true;
    return digits_then_rest(p, end, e);
  }
};

}  // namespace

ByteSet bytes_of(It from, It to) {
  ByteSet out;
  for (It p = from; p != to; ++p) out.add(static_cast<unsigned char>(*p));
  return out;
}

const ByteSet& unusual_bytes() {
  static const ByteSet set = [] {
    ByteSet s;
    for (int c = 0; c < 256; ++c) {
      if (unusual(static_cast<unsigned char>(c))) s.add(static_cast<unsigned char>(c));
    }
    return s;
  }();
  return set;
}

It first_unusual(It start, It end) {
  return std::find_if(start, end, [](char c) { return unusual(static_cast<unsigned char>(c)); });
}

std::unique_ptr<Matcher> matcher_for(const std::string& pattern_in) {
  const std::string_view pattern = pattern_in;
  if (pattern == "(?:(?:[[:alpha:]]|_)[[:word:]]*(?=[[:blank:]]*\\())" ||
      pattern == "(?:[[:alpha:]]|_)[[:word:]]*(?=[[:blank:]]*\\()") {
    return std::make_unique<FunctionName>();
  }
  for (const char q : {'"', '\''}) {
    const std::string qs = q == '"' ? "\\\"" : "'";
    const std::string inner = q == '"' ? "[^\\\\\\\"]" : "[^\\\\']";
    if (pattern == qs + "(?:" + inner + "|\\\\.)*" + qs) return std::make_unique<QuotedString>(q);
  }
  if (pattern == NUMBER_PATTERN) return std::make_unique<NumberLiteral>();
  if (pattern == LONE_STRING_PATTERN) return std::make_unique<LoneStringLine>();
  if (pattern == "\\z") return std::make_unique<EndOfText>();
  std::string lit;
  std::string_view body = strip_group(pattern);
  bool anchored = false;
  if (!body.empty() && body[0] == '^') {
    anchored = true;
    body = strip_group(body.substr(1));
  }
  constexpr std::string_view SPACES = "[[:space:]]*";
  if (body.substr(0, SPACES.size()) == SPACES) {
    std::string_view rest = strip_group(body.substr(SPACES.size()));
    if (literal(rest, lit)) return std::make_unique<SpacedLiteral>(lit, anchored);
    return nullptr;
  }
  if (anchored) return nullptr;
  if (pattern.size() > 6 && pattern.substr(0, 2) == "\\<" &&
      pattern.substr(pattern.size() - 2) == "\\>") {
    const auto alts = alternatives(strip_group(pattern.substr(2, pattern.size() - 4)));
    std::vector<std::string> words;
    for (std::string_view a : alts) {
      if (a.empty()) return nullptr;
      for (char c : a) {
        if (!is_word(static_cast<unsigned char>(c))) return nullptr;
      }
      words.emplace_back(a);
    }
    if (words.empty()) return nullptr;
    return std::make_unique<KeywordList>(words);
  }
  const auto alts = alternatives(body);
  if (alts.empty()) return nullptr;
  std::vector<std::string> lits;
  for (std::string_view a : alts) {
    if (!literal(a, lit)) return nullptr;
    lits.push_back(lit);
  }
  return std::make_unique<LiteralAlternatives>(std::move(lits));
}

}  // namespace styled::syntax_fast
