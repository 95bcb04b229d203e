#pragma once
// Where config.toml lives when no --config PATH is given.

#include <filesystem>
#include <optional>
#include <string_view>

namespace host::config {

// `$XDG_CONFIG_HOME/vellumine/config.toml` when XDG_CONFIG_HOME is an absolute path (the XDG
// rule: an empty or relative value is ignored), else `$HOME/.config/vellumine/config.toml`.
// Throws ConfigError when neither gives a place.
[[nodiscard]] std::filesystem::path resolve_config_path(
    std::optional<std::string_view> xdg_config_home, std::optional<std::string_view> home);

// resolve_config_path with this process's environment; HOME falls back to the user's home
// folder from the password database.
[[nodiscard]] std::filesystem::path default_config_path();

}  // namespace host::config
