#include "host/acp/prompt_blocks.h"

#include <fmt/format.h>

#include <algorithm>
#include <system_error>
#include <vector>

namespace host::acp {
namespace {

bool blank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r';
}

// "@path" words: an "@" at the start or after a blank, up to the next blank; a trailing
// sentence mark is not part of the path.
std::vector<std::string> mentions(std::string_view text) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '@' || (i > 0 && !blank(text[i - 1]))) continue;
    std::size_t end = i + 1;
    while (end < text.size() && !blank(text[end])) ++end;
    std::string_view word = text.substr(i + 1, end - i - 1);
    while (!word.empty() &&
           std::string_view(",.;:!?)\"'").find(word.back()) != std::string_view::npos) {
      word.remove_suffix(1);
    }
    if (!word.empty()) out.emplace_back(word);
    i = end;
  }
  return out;
}

}  // namespace

std::string file_uri(const std::filesystem::path& absolute) {
  std::string out = "file://";
  for (const unsigned char c : absolute.generic_string()) {
    const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '-' || c == '.' || c == '_' || c == '~' || c == '/';
    if (plain) {
      out += static_cast<char>(c);
    } else {
      out += fmt::format("%{:02X}", c);
    }
  }
  return out;
}

Json prompt_blocks(std::string_view prompt, const std::filesystem::path& folder) {
  Json blocks = Json::array({{{"type", "text"}, {"text", std::string(prompt)}}});
  std::error_code ec;
  const std::filesystem::path root = std::filesystem::weakly_canonical(folder, ec);
  if (ec) return blocks;
  std::vector<std::filesystem::path> linked;
  for (const std::string& mention : mentions(prompt)) {
    const std::filesystem::path file = std::filesystem::weakly_canonical(root / mention, ec);
    if (ec || !std::filesystem::is_regular_file(file, ec)) continue;
    // Only files inside the session's folder: "@../secret" and links out of it are text.
    const auto [r, f] = std::mismatch(root.begin(), root.end(), file.begin(), file.end());
    if (r != root.end()) continue;
    if (std::find(linked.begin(), linked.end(), file) != linked.end()) continue;
    linked.push_back(file);
    blocks.push_back({{"type", "resource_link"},
                      {"uri", file_uri(file)},
                      {"name", file.lexically_relative(root).generic_string()}});
  }
  return blocks;
}

}  // namespace host::acp
