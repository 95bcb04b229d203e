#include "host/config/toml_document.h"

#include <fmt/format.h>

#include "host/config/host_config.h"
#include "host/config/toml_depth.h"

namespace host::config {

toml::table parse_toml(std::string_view text, std::string_view source) {
  check_toml_depth(text, source);
  try {
    return toml::parse(text, source);
  } catch (const toml::parse_error& e) {
    const auto& at = e.source().begin;
    throw ConfigError(
        fmt::format("{}:{}:{}: {}", source, at.line, at.column, escape_controls(e.description())));
  }
}

std::string escape_controls(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const auto c = static_cast<unsigned char>(text[i]);
    const auto next = i + 1 < text.size() ? static_cast<unsigned char>(text[i + 1]) : 0U;
    if (c < 0x20 || c == 0x7f) {
      out += fmt::format("\\u{:04X}", c);
    } else if (c == 0xC2 && next >= 0x80 && next <= 0x9F) {  // C1 controls, U+0080..U+009F
      out += fmt::format("\\u{:04X}", next);
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

}  // namespace host::config
