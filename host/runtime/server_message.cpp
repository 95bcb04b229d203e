#include "host/runtime/server_message.h"

#include <nlohmann/json.hpp>

#include "host/runtime/json_fields.h"

namespace host::runtime {

namespace {

std::optional<std::string> nonempty(std::string text) {
  if (text.empty()) return std::nullopt;
  return text;
}

}  // namespace

std::string one_line(std::string_view text, std::size_t max_chars) {
  std::string out;
  std::size_t chars = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0U;
    const bool c1 = c == 0xC2 && next >= 0x80 && next <= 0x9F;
    if (c <= 0x20 || c == 0x7f || c1) {
      if (c1) ++i;
      if (!out.empty() && out.back() != ' ') out += ' ';
      continue;
    }
    const bool starts_char = (c & 0xC0) != 0x80;
    if (starts_char && chars == max_chars) {
      out += "…";
      return out;
    }
    chars += starts_char ? 1 : 0;
    out += static_cast<char>(c);
  }
  if (!out.empty() && out.back() == ' ') out.pop_back();
  return out;
}

std::optional<std::string> server_message(std::string_view body) {
  const auto json = nlohmann::json::parse(body, nullptr, /*allow_exceptions=*/false);
  if (json.is_discarded()) {
    // An HTML error page has no line worth showing on its own.
    if (const auto first = body.find_first_not_of(" \t\r\n");
        first != std::string_view::npos && body[first] == '<') {
      return std::nullopt;
    }
    std::size_t start = 0;
    while (start < body.size()) {
      const std::size_t end = std::min(body.find('\n', start), body.size());
      if (auto line = nonempty(one_line(body.substr(start, end - start), kMaxMessageChars)))
        return line;
      start = end + 1;
    }
    return std::nullopt;
  }
  if (!json.is_object()) return std::nullopt;
  if (const auto error = json.find("error"); error != json.end() && error->is_object()) {
    if (const auto* message = string_at(*error, "message"))
      return nonempty(one_line(*message, kMaxMessageChars));
  }
  for (const char* key : {"error", "message", "detail", "status"}) {
    if (const auto* message = string_at(json, key))
      return nonempty(one_line(*message, kMaxMessageChars));
  }
  return std::nullopt;
}

bool says_ok(std::string_view body) {
  const auto json = nlohmann::json::parse(body, nullptr, /*allow_exceptions=*/false);
  if (!json.is_object()) return false;
  const auto* status = string_at(json, "status");
  return status != nullptr && *status == "ok";
}

}  // namespace host::runtime
