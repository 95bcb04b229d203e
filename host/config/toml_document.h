#pragma once
// Parsing TOML text with errors in this module's form.

#include <toml++/toml.h>
#include <string>
#include <string_view>

namespace host::config {

// Parses `text`; throws ConfigError "source:line:column: description" when it is not TOML or
// nests deeper than kMaxTomlDepth.
[[nodiscard]] toml::table parse_toml(std::string_view text, std::string_view source);

// `text` with C0 and C1 controls written as \uXXXX, so that text from a file cannot drive the
// terminal an error message is printed on.
[[nodiscard]] std::string escape_controls(std::string_view text);

}  // namespace host::config
