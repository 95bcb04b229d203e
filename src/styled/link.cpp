#include "styled/link.h"

#include <deque>
#include <mutex>
#include <string>
#include <unordered_map>

namespace styled {
namespace {

bool kept_as_is(unsigned char c) {
  if (c <= 0x20 || c >= 0x7f) return false;
  switch (c) {
    case ';':
    case '\\':
    case '"':
    case '\'':
    case '<':
    case '>':
    case '`':
    case '{':
    case '|':
    case '}':
    case '^':
      return false;
    default:
      return true;
  }
}

bool is_hex(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

void percent(std::string& out, unsigned char c) {
  static constexpr char HEX[] = "0123456789ABCDEF";
  out += '%';
  out += HEX[c >> 4];
  out += HEX[c & 15];
}

struct Table {
  std::mutex mutex;
  std::deque<std::string> targets{std::string()};  // number 0: no link
  std::unordered_map<std::string_view, std::uint16_t> ids;
};

Table& table() {
  static Table t;
  return t;
}

}  // namespace

std::string safe_link_target(std::string_view url) {
  std::string out;
  out.reserve(url.size());
  for (std::size_t i = 0; i < url.size(); ++i) {
    const auto c = static_cast<unsigned char>(url[i]);
    const bool escape_start =
        c == '%' && i + 2 < url.size() && is_hex(url[i + 1]) && is_hex(url[i + 2]);
    if (kept_as_is(c) && (c != '%' || escape_start)) {
      out += static_cast<char>(c);
    } else {
      percent(out, c);
    }
  }
  return out;
}

bool linkable_url(std::string_view url) {
  std::string lower;
  for (char c : url.substr(0, 8)) lower += static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return lower.starts_with("http://") || lower.starts_with("https://") ||
         lower.starts_with("mailto:") || lower.starts_with("file://");
}

std::uint16_t link_id(std::string_view url) {
  if (url.size() > MAX_LINK || !linkable_url(url)) return 0;
  std::string target = safe_link_target(url);
  Table& t = table();
  const std::lock_guard lock(t.mutex);
  if (const auto it = t.ids.find(target); it != t.ids.end()) return it->second;
  if (t.targets.size() > 0xffff) return 0;
  const auto id = static_cast<std::uint16_t>(t.targets.size());
  t.targets.push_back(std::move(target));
  t.ids.emplace(t.targets.back(), id);
  return id;
}

std::string_view link_target(std::uint16_t id) {
  Table& t = table();
  const std::lock_guard lock(t.mutex);
  return id < t.targets.size() ? std::string_view(t.targets[id]) : std::string_view();
}

std::string file_url(std::string_view absolute_path, std::string_view line) {
  if (!absolute_path.starts_with('/')) return {};
  std::string url = "file://";
  for (const char ch : absolute_path) {
    const auto c = static_cast<unsigned char>(ch);
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '/' || c == '-' || c == '.' || c == '_' || c == '~';
    if (plain) {
      url += ch;
    } else {
      percent(url, c);
    }
  }
  if (!line.empty() && line.find_first_not_of("0123456789") == std::string_view::npos) {
    url += '#';
    url += line;
  }
  return url;
}

std::uint16_t path_link(std::string_view argument, std::string_view folder) {
  while (!argument.empty() && (argument.front() == ' ' || argument.front() == '\t')) {
    argument.remove_prefix(1);
  }
  while (!argument.empty() && (argument.back() == ' ' || argument.back() == '\t')) {
    argument.remove_suffix(1);
  }
  if (argument.empty() || argument.size() > MAX_LINK || argument.front() == '-') return 0;
  for (const char c : argument) {
    const auto b = static_cast<unsigned char>(c);
    if (b <= 0x20 || b == 0x7f || c == '"' || c == '\'' || c == '`') return 0;
  }
  if (argument.find("://") != std::string_view::npos) return link_id(argument);
  // ":LINE" and ":LINE:COLUMN" come off the end; the line is kept for the URL.
  std::string_view path = argument, line;
  for (int part = 0; part < 2; ++part) {
    const std::size_t colon = path.rfind(':');
    if (colon == std::string_view::npos || colon + 1 == path.size()) break;
    const std::string_view digits = path.substr(colon + 1);
    if (digits.find_first_not_of("0123456789") != std::string_view::npos) break;
    line = digits;
    path = path.substr(0, colon);
  }
  const std::size_t slash = path.rfind('/');
  const std::string_view base = slash == std::string_view::npos ? path : path.substr(slash + 1);
  const std::size_t dot = base.rfind('.');
  const bool extension = dot != std::string_view::npos && dot > 0 && dot + 1 < base.size();
  if (path.empty() || (slash == std::string_view::npos && !extension)) return 0;
  std::string absolute;
  if (path.front() == '/') {
    absolute = path;
  } else {
    if (!folder.starts_with('/')) return 0;
    absolute = folder;
    if (!absolute.ends_with('/')) absolute += '/';
    absolute += path.starts_with("./") ? path.substr(2) : path;
  }
  return link_id(file_url(absolute, line));
}

}  // namespace styled
