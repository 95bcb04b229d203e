#pragma once
// Reading config.toml into a HostConfig: syntax, types and values are all checked, so the
// application can refuse a bad file before it shows anything.

#include <string_view>

#include "host/config/host_config.h"

namespace host::config {

// Keys that hold a number of seconds accept integers and floats, greater than 0 and at most
// this (a day), so that every later conversion to a clock duration stays in range.
inline constexpr double kMaxSeconds = 86400.0;

// Parses the text of a configuration file; `source` names it in errors. Unknown sections and
// keys are ignored (they may belong to later versions) but listed in `warnings`. Throws
// ConfigError "source:line:column: what is wrong" for a syntax error, keys nested too deeply,
// a value of the wrong type, an unknown mode or backend, a base_url that is not an http(s) URL,
// or a number of seconds out of range.
[[nodiscard]] HostConfig parse_config(std::string_view text, std::string_view source);

}  // namespace host::config
