#include "styled/markdown/markdown_autolink.h"

#include <utf8proc.h>

#include <array>

#include "unicode/utf8.h"

namespace styled::markdown_detail {

namespace {

bool is_alpha(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool is_alnum(unsigned char c) {
  return is_alpha(c) || (c >= '0' && c <= '9');
}
// The parser's own white space: ASCII only.
bool is_space(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool one_of(unsigned char c, std::string_view set) {
  return set.find(static_cast<char>(c)) != std::string_view::npos;
}

// A character that may be part of a host name: a letter, digit or any other non-ASCII
// character that is neither white space nor punctuation. A byte inside a multi-byte character
// is not one (the parser reads the domain byte by byte, so a domain stops after the first
// byte of a non-ASCII character — kept, since that is what a reader of GFM gets elsewhere).
bool is_host_char(std::string_view s, std::size_t at) {
  const auto c = static_cast<unsigned char>(s[at]);
  if (c < 0x80) return is_alnum(c);
  const unicode::Decoded d = unicode::decode_at(s, at);
  if (d.cp == unicode::REPLACEMENT && !(d.len == 3 && s.substr(at, 3) == "\xEF\xBF\xBD")) {
    return false;
  }
  switch (utf8proc_category(static_cast<utf8proc_int32_t>(d.cp))) {
    case UTF8PROC_CATEGORY_ZS:
    case UTF8PROC_CATEGORY_PC:
    case UTF8PROC_CATEGORY_PD:
    case UTF8PROC_CATEGORY_PS:
    case UTF8PROC_CATEGORY_PE:
    case UTF8PROC_CATEGORY_PI:
    case UTF8PROC_CATEGORY_PF:
    case UTF8PROC_CATEGORY_PO:
      return false;
    default:
      return true;
  }
}

// Where a domain starting at `from` ends (an offset from `from`; 0 when it is not acceptable:
// a "_" in its last two labels or, unless `allow_short`, no dot). The first character is not
// looked at (the caller has checked it). The scan stops one short of the text's end, as GFM's
// does.
class DomainScanner {
 public:
  explicit DomainScanner(std::string_view text) : text_(text) {}

  std::size_t scan(std::size_t from, bool allow_short) {
    // A later start inside the domain scanned last, before its second-last dot, sees the same
    // end and the same last two labels: the answer is reused, so a run of "_www." candidates
    // costs one scan rather than one each.
    if (have_ && from > from_ && prev_dot_ != NONE && from < prev_dot_) {
      return verdict(from, uscore_bad_, true, allow_short);
    }
    const std::size_t size = text_.size() - from;
    std::size_t i = 1;
    std::size_t np = 0, uscore1 = 0, uscore2 = 0;
    std::size_t last_dot = NONE, prev_dot = NONE;
    for (; i + 1 < size; ++i) {
      const auto c = static_cast<unsigned char>(text_[from + i]);
      if (c == '_') {
        ++uscore2;
      } else if (c == '.') {
        uscore1 = uscore2;
        uscore2 = 0;
        ++np;
        prev_dot = last_dot;
        last_dot = from + i;
      } else if (c != '-' && !is_host_char(text_, from + i)) {
        break;
      }
    }
    have_ = true;
    from_ = from;
    end_ = from + i;
    prev_dot_ = prev_dot;
    uscore_bad_ = uscore1 > 0 || uscore2 > 0;
    return verdict(from, uscore_bad_, np > 0, allow_short);
  }

 private:
  static constexpr std::size_t NONE = static_cast<std::size_t>(-1);

  std::size_t verdict(std::size_t from, bool uscore_bad, bool has_dot, bool allow_short) const {
    if (uscore_bad || (!allow_short && !has_dot)) return 0;
    return end_ - from;
  }

  std::string_view text_;
  bool have_ = false;
  std::size_t from_ = 0, end_ = 0, prev_dot_ = NONE;
  bool uscore_bad_ = false;
};

// How much of `link` (its first `len` bytes) stays a link once what ends a sentence is taken
// off: everything from a "<", trailing ?!.,:*_~'" characters, a trailing entity ("&amp;"),
// and each trailing ")" that has more ")" than "(" before it.
std::size_t trim_end(std::string_view link, std::size_t len) {
  if (const std::size_t lt = link.substr(0, len).find('<'); lt != std::string_view::npos) {
    len = lt;
  }
  // Parentheses are counted once; taking off a ")" is the only step that changes the counts.
  std::size_t opening = 0, closing = 0;
  for (std::size_t i = 0; i < len; ++i) {
    if (link[i] == '(') ++opening;
    if (link[i] == ')') ++closing;
  }
  while (len > 0) {
    const auto c = static_cast<unsigned char>(link[len - 1]);
    if (one_of(c, "?!.,:*_~'\"")) {
      --len;
    } else if (c == ';') {
      std::size_t back = len >= 2 ? len - 2 : 0;
      while (back > 0 && is_alpha(static_cast<unsigned char>(link[back]))) --back;
      if (len >= 2 && back < len - 2 && link[back] == '&') {
        len = back;
      } else {
        --len;
      }
    } else if (c == ')') {
      if (closing <= opening) break;
      --closing;
      --len;
    } else {
      break;
    }
  }
  return len;
}

bool starts_with_nocase(std::string_view s, std::string_view prefix) {
  if (s.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    char c = s[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != prefix[i]) return false;
  }
  return true;
}

class Finder {
 public:
  explicit Finder(std::string_view text) : text_(text), domains_(text) {}

  std::vector<Autolink> run() {
    // URLs and "www." addresses first, left to right; then e-mail addresses in the text
    // between them. Candidates are found with substring searches, not byte by byte: most text
    // holds none.
    std::vector<Autolink> links;
    std::size_t floor = 0;  // where the text not yet taken by a link starts
    std::size_t www = text_.find("www.");
    std::size_t scheme = text_.find("://");
    while (www != std::string_view::npos || scheme != std::string_view::npos) {
      Autolink link;
      std::size_t end = 0;
      if (www < scheme) {
        if (www_at(www, end))
          link = {www, end, "http://" + std::string(text_.substr(www, end - www))};
        www = text_.find("www.", www + 1);
      } else {
        std::size_t begin = 0;
        if (url_at(scheme, floor, begin, end)) {
          link = {begin, end, std::string(text_.substr(begin, end - begin))};
        }
        scheme = text_.find("://", scheme + 1);
      }
      if (link.end == 0) continue;
      emails(floor, link.begin, links);
      links.push_back(std::move(link));
      floor = links.back().end;
      if (www != std::string_view::npos && www < floor) www = text_.find("www.", floor);
      if (scheme != std::string_view::npos && scheme < floor) scheme = text_.find("://", floor);
    }
    emails(floor, text_.size(), links);
    return links;
  }

  // The byte before is read even when an earlier link ends there ("http://a.org<www.b.org"
  // makes one link).
  bool www_at(std::size_t i, std::size_t& end) {
    if (i > 0) {
      const auto before = static_cast<unsigned char>(text_[i - 1]);
      if (!one_of(before, "*_~(") && !is_space(before)) return false;
    }
    if (text_.substr(i, 4) != "www.") return false;
    const std::size_t domain = domains_.scan(i, false);
    if (domain == 0) return false;
    const std::size_t len = extend(i, domain);
    end = i + len;
    return len > 0;
  }

  bool url_at(std::size_t colon, std::size_t floor, std::size_t& begin, std::size_t& end) {
    if (text_.size() - colon < 4 || text_[colon + 1] != '/' || text_[colon + 2] != '/') {
      return false;
    }
    begin = colon;
    while (begin > floor && is_alpha(static_cast<unsigned char>(text_[begin - 1]))) --begin;
    const std::string_view rest = text_.substr(begin);
    bool safe = false;
    for (std::string_view scheme : {"http://", "https://", "ftp://"}) {
      if (rest.size() > scheme.size() && starts_with_nocase(rest, scheme) &&
          is_host_char(text_, begin + scheme.size())) {
        safe = true;
        break;
      }
    }
    if (!safe) return false;
    const std::size_t domain = domains_.scan(colon + 3, true);
    if (domain == 0) return false;
    const std::size_t len = extend(colon, 3 + domain);
    end = colon + len;
    return len > 0;
  }

  // The link's length from `from`: on from `len` bytes to white space, then trimmed (0 when
  // nothing is left).
  [[nodiscard]] std::size_t extend(std::size_t from, std::size_t len) const {
    while (from + len < text_.size() && !is_space(static_cast<unsigned char>(text_[from + len]))) {
      ++len;
    }
    return trim_end(text_.substr(from), len);
  }

  // E-mail addresses in [from, to): a local part of letters, digits and ".+-_" right before an
  // "@" (with "mailto:" or "xmpp:" in front it is kept, and is the link's scheme), then a
  // domain with a dot followed by a letter or digit, ending in a letter or a dot, and only the
  // one "@"; an xmpp address may go on with "/resource".
  void emails(std::size_t from, std::size_t to, std::vector<Autolink>& links) const {
    std::size_t floor = from;
    for (std::size_t at = text_.find('@', from); at < to; at = text_.find('@', at + 1)) {
      std::size_t rewind = 0;
      bool has_scheme = false, xmpp = false;
      while (at - rewind > floor) {
        const std::size_t pos = at - rewind - 1;
        const auto c = static_cast<unsigned char>(text_[pos]);
        if (is_alnum(c) || one_of(c, ".+-_")) {
          ++rewind;
          continue;
        }
        if (c == ':' && (scheme_before(pos, "mailto") || (xmpp = scheme_before(pos, "xmpp")))) {
          has_scheme = true;
          ++rewind;
          continue;
        }
        break;
      }
      if (rewind == 0) {
        floor = at + 1;
        continue;
      }
      std::size_t len = 0;
      std::size_t nb = 0, np = 0;
      const std::size_t size = to - at;
      for (; len < size; ++len) {
        const auto c = static_cast<unsigned char>(text_[at + len]);
        if (is_alnum(c)) continue;
        if (c == '@') {
          // A second "@" fails the address whatever follows: stopping here keeps a long run of
          // them linear.
          if (++nb > 1) break;
        } else if (c == '.' && len + 1 < size &&
                   is_alnum(static_cast<unsigned char>(text_[at + len + 1]))) {
          ++np;
        } else if (c == '/' && xmpp) {
          continue;
        } else if (c != '-' && c != '_') {
          break;
        }
      }
      const auto last = len > 0 ? static_cast<unsigned char>(text_[at + len - 1]) : 0;
      if (len < 2 || nb != 1 || np == 0 || (!is_alpha(last) && last != '.')) {
        floor = at + 1;
        continue;
      }
      len = trim_end(text_.substr(at, to - at), len);
      if (len == 0) {
        floor = at + 1;
        continue;
      }
      const std::size_t begin = at - rewind;
      const std::size_t end = at + len;
      const std::string shown(text_.substr(begin, end - begin));
      links.push_back({begin, end, has_scheme ? shown : "mailto:" + shown});
      floor = end;
      at = end - 1;
    }
  }

  // Whether `name` ends right before the ":" at `colon`, with no letter or digit before it.
  [[nodiscard]] bool scheme_before(std::size_t colon, std::string_view name) const {
    if (colon < name.size() || text_.substr(colon - name.size(), name.size()) != name) return false;
    const std::size_t start = colon - name.size();
    return start == 0 || !is_alnum(static_cast<unsigned char>(text_[start - 1]));
  }

  std::string_view text_;
  DomainScanner domains_;
};

}  // namespace

std::vector<Autolink> find_autolinks(std::string_view text) {
  return Finder(text).run();
}

}  // namespace styled::markdown_detail
