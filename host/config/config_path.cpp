#include "host/config/config_path.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "host/config/host_config.h"

namespace host::config {

namespace {

std::optional<std::string_view> env(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string_view(value);
}

}  // namespace

std::filesystem::path resolve_config_path(std::optional<std::string_view> xdg_config_home,
                                          std::optional<std::string_view> home) {
  const std::filesystem::path name = std::filesystem::path("vellumine") / "config.toml";
  if (xdg_config_home && !xdg_config_home->empty() && xdg_config_home->front() == '/') {
    return std::filesystem::path(*xdg_config_home) / name;
  }
  if (home && !home->empty()) return std::filesystem::path(*home) / ".config" / name;
  throw ConfigError(
      "cannot find the configuration folder: neither XDG_CONFIG_HOME nor HOME is set "
      "(use --config PATH)");
}

std::filesystem::path default_config_path() {
  auto home = env("HOME");
  std::vector<char> buffer(16384);
  if (!home || home->empty()) {
    passwd record{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &record, buffer.data(), buffer.size(), &found) == 0 &&
        found != nullptr && found->pw_dir != nullptr) {
      home = std::string_view(found->pw_dir);
    }
  }
  return resolve_config_path(env("XDG_CONFIG_HOME"), home);
}

}  // namespace host::config
