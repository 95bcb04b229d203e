#include "styled/style.h"

#include <array>

namespace styled {

namespace {

struct AttrName {
  std::string_view name;
  Attr attr;
};

constexpr std::array<AttrName, 7> ATTR_NAMES = {{{"bold", Attr::bold},
                                                 {"dim", Attr::dim},
                                                 {"italic", Attr::italic},
                                                 {"underline", Attr::underline},
                                                 {"blink", Attr::blink},
                                                 {"reverse", Attr::reverse},
                                                 {"strike", Attr::strike}}};

std::optional<Attr> attr_of(std::string_view word) {
  for (const auto& a : ATTR_NAMES) {
    if (a.name == word) return a.attr;
  }
  // Common short forms.
  if (word == "b") return Attr::bold;
  if (word == "i") return Attr::italic;
  if (word == "u") return Attr::underline;
  if (word == "s") return Attr::strike;
  return std::nullopt;
}

// Splits at spaces; `rgb(1, 2, 3)` keeps its inner spaces because a word does not end inside
// parentheses.
class Words {
 public:
  explicit Words(std::string_view s) : s_(s) {}
  std::optional<std::string_view> next() {
    while (pos_ < s_.size() && s_[pos_] == ' ') ++pos_;
    if (pos_ >= s_.size()) return std::nullopt;
    const std::size_t start = pos_;
    int depth = 0;
    while (pos_ < s_.size() && (s_[pos_] != ' ' || depth > 0)) {
      if (s_[pos_] == '(') ++depth;
      if (s_[pos_] == ')' && depth > 0) --depth;
      ++pos_;
    }
    return s_.substr(start, pos_ - start);
  }

 private:
  std::string_view s_;
  std::size_t pos_ = 0;
};

// Parses into `out`; on failure returns the offending word (or "on" with nothing after it).
std::optional<std::string_view> parse_into(std::string_view text, Style& out) {
  Style s;
  Words words(text);
  while (auto w = words.next()) {
    if (*w == "none") continue;
    if (*w == "not") {
      auto next = words.next();
      if (!next) return w;
      auto a = attr_of(*next);
      if (!a) return next;
      s = s.with(*a, false);
      continue;
    }
    if (*w == "on") {
      auto next = words.next();
      if (!next) return w;
      auto c = Color::parse(*next);
      if (!c) return next;
      s = s.with_bg(*c);
      continue;
    }
    if (auto a = attr_of(*w)) {
      s = s.with(*a, true);
      continue;
    }
    if (auto c = Color::parse(*w)) {
      s = s.with_fg(*c);
      continue;
    }
    return w;
  }
  out = s;
  return std::nullopt;
}

void append_color(std::string& out, Color c) {
  static constexpr std::array<std::string_view, 8> NAMES = {"black", "red",     "green", "yellow",
                                                            "blue",  "magenta", "cyan",  "white"};
  static constexpr char HEX[] = "0123456789abcdef";
  switch (c.kind()) {
    case Color::Kind::none:
      break;
    case Color::Kind::default_color:
      out += "default";
      break;
    case Color::Kind::standard:
      if (c.index() >= 8) out += "bright_";
      out += NAMES[c.index() & 7];
      break;
    case Color::Kind::palette:
      out += "color(" + std::to_string(c.index()) + ")";
      break;
    case Color::Kind::rgb:
      out += '#';
      for (std::uint8_t v : {c.r(), c.g(), c.b()}) {
        out += HEX[v >> 4];
        out += HEX[v & 15];
      }
      break;
  }
}

}  // namespace

Style Style::parse(std::string_view text) {
  Style s;
  if (auto bad = parse_into(text, s)) {
    throw std::invalid_argument("unknown style word '" + std::string(*bad) + "' in '" +
                                std::string(text) + "'");
  }
  return s;
}

std::optional<Style> Style::try_parse(std::string_view text) noexcept {
  Style s;
  if (parse_into(text, s)) return std::nullopt;
  return s;
}

std::string Style::to_string() const {
  std::string out;
  auto word = [&out](std::string_view w) {
    if (!out.empty()) out += ' ';
    out += w;
  };
  for (const auto& a : ATTR_NAMES) {
    if (!is_set(a.attr)) continue;
    if (!has(a.attr)) word("not");
    word(a.name);
  }
  if (fg_.is_set()) {
    if (!out.empty()) out += ' ';
    append_color(out, fg_);
  }
  if (bg_.is_set()) {
    word("on");
    out += ' ';
    append_color(out, bg_);
  }
  return out.empty() ? "none" : out;
}

}  // namespace styled
