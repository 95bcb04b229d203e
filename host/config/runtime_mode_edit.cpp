#include "host/config/runtime_mode_edit.h"

#include <fmt/format.h>

#include <optional>
#include <vector>

#include "host/config/host_config.h"
#include "host/config/toml_document.h"

namespace host::config {

namespace {

constexpr std::string_view kKey = "laptop_26b_runtime_mode";
constexpr std::string_view kBom = "\xEF\xBB\xBF";

// Byte offset of a parser position: lines count from 1, columns count code points from 1.
std::size_t offset_of(std::string_view text, const toml::source_position& at) {
  std::size_t pos = 0;
  for (toml::source_index line = 1; line < at.line; ++line) {
    pos = text.find('\n', pos);
    if (pos == std::string_view::npos) return text.size();
    ++pos;
  }
  for (toml::source_index column = 1; column < at.column && pos < text.size(); ++column) {
    ++pos;
    while (pos < text.size() && (static_cast<unsigned char>(text[pos]) & 0xC0) == 0x80) ++pos;
  }
  return pos;
}

// Byte offset just past the end of line `line` (after its line feed; the text's end when the
// line is the last one and has none).
std::optional<std::size_t> after_line(std::string_view text, toml::source_index line) {
  std::size_t pos = 0;
  for (toml::source_index n = 1; n <= line; ++n) {
    pos = text.find('\n', pos);
    if (pos == std::string_view::npos) return n == line ? std::optional(text.size()) : std::nullopt;
    ++pos;
  }
  return pos;
}

std::string spliced(std::string_view text, std::size_t from, std::size_t to,
                    std::string_view insert) {
  std::string out;
  out.reserve(text.size() + insert.size());
  out.append(text.substr(0, from)).append(insert).append(text.substr(to));
  return out;
}

// The edits worth trying, most local first.
std::vector<std::string> candidates(std::string_view text, const toml::table& doc,
                                    std::string_view value) {
  const std::string_view eol = text.find("\r\n") != std::string_view::npos ? "\r\n" : "\n";
  const std::string line = fmt::format("{} = {}{}", kKey, value, eol);
  std::vector<std::string> out;
  const toml::table* runtime = doc["runtime"].as_table();
  if (runtime != nullptr) {
    if (const toml::node* old = runtime->get(kKey)) {
      out.push_back(spliced(text, offset_of(text, old->source().begin),
                            offset_of(text, old->source().end), value));
    }
    if (!runtime->is_inline()) {
      if (auto at = after_line(text, runtime->source().begin.line)) {
        const bool ends_bare = *at == text.size() && !text.ends_with('\n');
        out.push_back(spliced(text, *at, *at, (ends_bare ? std::string(eol) : "") + line));
      }
    }
  }
  std::string appended(text);
  if (!appended.empty() && !appended.ends_with('\n')) appended += eol;
  if (!appended.empty()) appended += eol;
  out.push_back(appended + fmt::format("[runtime]{}{}", eol, line));
  // A runtime table made by dotted keys at the top level cannot take a [runtime] header.
  const std::size_t top = text.starts_with(kBom) ? kBom.size() : 0;
  out.push_back(spliced(text, top, top, fmt::format("runtime.{}", line)));
  return out;
}

bool means(std::string_view text, const toml::table& expected, std::string_view source) {
  try {
    return toml::parse(text, source) == expected;
  } catch (const toml::parse_error&) {
    return false;  // this edit made the text invalid; the next candidate may not
  }
}

}  // namespace

std::string with_runtime_mode(std::string_view text, std::string_view mode,
                              std::string_view source) {
  const toml::table doc = parse_toml(text, source);
  toml::table expected = doc;
  if (!expected["runtime"].is_table()) expected.insert_or_assign("runtime", toml::table{});
  expected["runtime"].as_table()->insert_or_assign(kKey, std::string(mode));

  const std::string value = fmt::format("\"{}\"", mode);
  for (const std::string& edited : candidates(text, doc, value)) {
    if (means(edited, expected, source)) return edited;
  }
  throw ConfigError(fmt::format(
      "{}: cannot add runtime.{} to this file without rewriting it; add the line {} = {} to "
      "its runtime table",
      source, kKey, kKey, value));
}

}  // namespace host::config
