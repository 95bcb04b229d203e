#include "termui/css.h"

#include <charconv>
#include <map>

namespace termui {
namespace {

std::string_view trim(std::string_view s) {
  while (!s.empty() &&
         (s.front() == ' ' || s.front() == '\n' || s.front() == '\t' || s.front() == '\r'))
    s.remove_prefix(1);
  while (!s.empty() &&
         (s.back() == ' ' || s.back() == '\n' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

std::vector<std::string_view> words(std::string_view s) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && s[i] == ' ') ++i;
    const std::size_t start = i;
    while (i < s.size() && s[i] != ' ') ++i;
    if (i > start) out.push_back(s.substr(start, i - start));
  }
  return out;
}

[[noreturn]] void fail(std::string_view what, std::string_view text) {
  throw CssError("unsupported CSS " + std::string(what) + ": '" + std::string(text) + "'");
}

int integer(std::string_view s, std::string_view decl) {
  int v = 0;
  const auto [p, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  if (ec != std::errc{} || p != s.data() + s.size() || v < 0 || v > 10000) fail("number", decl);
  return v;
}

Scalar scalar(std::string_view s, std::string_view decl) {
  if (s == "auto") return {Scalar::Unit::automatic, 0};
  Scalar out;
  if (s.ends_with("fr")) {
    out.unit = Scalar::Unit::fr;
    s.remove_suffix(2);
  } else if (s.ends_with("%")) {
    out.unit = Scalar::Unit::percent;
    s.remove_suffix(1);
  }
  out.value = integer(s, decl);
  return out;
}

std::string colour(std::string_view value, std::string_view decl) {
  if (value.starts_with("$")) {
    if (auto v = theme_variable(value.substr(1))) return *v;
    fail("variable", decl);
  }
  if (value.empty()) fail("colour", decl);
  return std::string(value);
}

Overflow overflow(std::string_view v, std::string_view decl) {
  if (v == "scroll") return Overflow::scroll;
  if (v == "hidden") return Overflow::hidden;
  if (v == "auto") return Overflow::automatic;
  fail("overflow", decl);
}

void declare(Styles& st, std::string_view decl) {
  const std::size_t colon = decl.find(':');
  if (colon == std::string_view::npos) fail("declaration", decl);
  const std::string_view name = trim(decl.substr(0, colon));
  const std::string_view value = trim(decl.substr(colon + 1));
  const std::vector<std::string_view> w = words(value);
  if (w.empty()) fail("declaration", decl);
  if (name == "layout") {
    if (value != "vertical") fail("layout", decl);
  } else if (name == "dock") {
    if (value != "top") fail("dock", decl);
    st.dock_top = true;
  } else if (name == "height" || name == "width") {
    if (w.size() != 1) fail("size", decl);
    (name == "height" ? st.height : st.width) = scalar(w[0], decl);
  } else if (name == "padding") {
    std::vector<int> n;
    for (auto x : w) n.push_back(integer(x, decl));
    if (n.size() == 1) {
      st.padding = Spacing{n[0], n[0], n[0], n[0]};
    } else if (n.size() == 2) {
      st.padding = Spacing{n[0], n[1], n[0], n[1]};
    } else if (n.size() == 4) {
      st.padding = Spacing{n[0], n[1], n[2], n[3]};
    } else {
      fail("padding", decl);
    }
  } else if (name == "align") {
    if (w.size() != 2) fail("align", decl);
    static const std::map<std::string_view, AlignH> H = {
        {"left", AlignH::left}, {"center", AlignH::center}, {"right", AlignH::right}};
    static const std::map<std::string_view, AlignV> V = {
        {"top", AlignV::top}, {"middle", AlignV::middle}, {"bottom", AlignV::bottom}};
    const auto h = H.find(w[0]);
    const auto v = V.find(w[1]);
    if (h == H.end() || v == V.end()) fail("align", decl);
    st.align_h = h->second;
    st.align_v = v->second;
  } else if (name == "overflow-x") {
    st.overflow_x = overflow(value, decl);
  } else if (name == "overflow-y") {
    st.overflow_y = overflow(value, decl);
  } else if (name == "scrollbar-size") {
    if (w.size() != 2) fail("scrollbar-size", decl);
    st.scrollbar_h = integer(w[0], decl);
    st.scrollbar_v = integer(w[1], decl);
  } else if (name == "border") {
    if (w.size() != 2 || w[0] != "round") fail("border", decl);
    st.border_color = colour(w[1], decl);
  } else if (name == "color") {
    st.color = colour(value, decl);
  } else if (name == "background") {
    st.background = colour(value, decl);
  } else {
    fail("declaration", decl);
  }
}

}  // namespace

void Styles::merge(const Styles& o) {
  auto take = [](auto& mine, const auto& theirs) {
    if (theirs) mine = theirs;
  };
  take(dock_top, o.dock_top);
  take(width, o.width);
  take(height, o.height);
  take(padding, o.padding);
  take(align_h, o.align_h);
  take(align_v, o.align_v);
  take(overflow_x, o.overflow_x);
  take(overflow_y, o.overflow_y);
  take(scrollbar_h, o.scrollbar_h);
  take(scrollbar_v, o.scrollbar_v);
  take(border_color, o.border_color);
  take(color, o.color);
  take(background, o.background);
}

std::optional<std::string> theme_variable(std::string_view name) {
  static const std::map<std::string_view, std::string_view> DARK = {
      {"surface", "#1e1e1e"}, {"background", "#121212"}, {"panel", "#24292f"},
      {"primary", "#0178d4"}, {"secondary", "#004578"},  {"foreground", "#e0e0e0"},
      {"accent", "#ffa62b"},  {"error", "#ba3c5b"},      {"success", "#4ebf71"},
      {"warning", "#ffa62b"},
  };
  const auto it = DARK.find(name);
  if (it == DARK.end()) return std::nullopt;
  return std::string(it->second);
}

std::vector<CssRule> parse_css(std::string_view source) {
  std::vector<CssRule> rules;
  std::size_t i = 0;
  while (true) {
    const std::size_t open = source.find('{', i);
    if (open == std::string_view::npos) {
      if (!trim(source.substr(i)).empty()) fail("text", trim(source.substr(i)));
      break;
    }
    const std::size_t close = source.find('}', open);
    if (close == std::string_view::npos) fail("rule without '}'", source.substr(open));
    const std::string_view selector = trim(source.substr(i, open - i));
    CssRule rule;
    if (selector.size() > 1 && selector[0] == '#') {
      rule.id = std::string(selector.substr(1));
    } else {
      rule.type_name = std::string(selector);
    }
    for (char c : selector.substr(selector.starts_with("#") ? 1 : 0)) {
      const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '_';
      if (!ok || selector.empty()) fail("selector", selector);
    }
    if (selector.empty()) fail("selector", selector);
    std::string_view body = source.substr(open + 1, close - open - 1);
    if (body.find('{') != std::string_view::npos) fail("nested rule", body);
    while (!trim(body).empty()) {
      const std::size_t semi = body.find(';');
      const std::string_view decl = trim(body.substr(0, semi));
      if (!decl.empty()) declare(rule.styles, decl);
      if (semi == std::string_view::npos) break;
      body.remove_prefix(semi + 1);
    }
    rules.push_back(std::move(rule));
    i = close + 1;
  }
  return rules;
}

}  // namespace termui
