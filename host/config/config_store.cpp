#include "host/config/config_store.h"

#include <fmt/format.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>

#include "host/config/atomic_file.h"
#include "host/config/config_file.h"
#include "host/config/runtime_mode_edit.h"

namespace host::config {

namespace {

// Far beyond any configuration; a bigger file is a mistake (a wrong --config PATH), not one to
// load into memory.
constexpr std::uintmax_t kMaxFileBytes = 1 << 20;

}  // namespace

TomlConfigStore::TomlConfigStore(std::filesystem::path path) : path_(std::move(path)) {}

std::optional<std::string> TomlConfigStore::read() const {
  std::error_code ec;
  const auto status = std::filesystem::status(path_, ec);
  if (status.type() == std::filesystem::file_type::not_found) return std::nullopt;
  if (ec) throw ConfigError(fmt::format("cannot read {}: {}", path_.string(), ec.message()));
  if (status.type() != std::filesystem::file_type::regular) {
    throw ConfigError(fmt::format("cannot read {}: it is not a regular file", path_.string()));
  }
  if (std::filesystem::file_size(path_, ec) > kMaxFileBytes && !ec) {
    throw ConfigError(
        fmt::format("cannot read {}: larger than {} bytes", path_.string(), kMaxFileBytes));
  }
  std::ifstream in(path_, std::ios::binary);
  if (!in) {
    throw ConfigError(fmt::format("cannot read {}: {}", path_.string(), std::strerror(errno)));
  }
  std::ostringstream text;
  text << in.rdbuf();
  if (in.bad()) throw ConfigError(fmt::format("cannot read {}: read failed", path_.string()));
  return std::move(text).str();
}

HostConfig TomlConfigStore::load() const {
  const auto text = read();
  if (!text) return HostConfig{};
  return parse_config(*text, path_.string());
}

void TomlConfigStore::save_config(const zell::ports::ZellConfig& config) {
  const std::string& mode = config.runtime.laptop_26b_runtime_mode;
  if (mode != "turbo" && mode != "turbo-think") {
    throw ConfigError(fmt::format(
        "cannot save {}: runtime.laptop_26b_runtime_mode must be \"turbo\" or \"turbo-think\"",
        path_.string()));
  }
  // The file is read again rather than remembered: whatever the user edited in it since
  // start-up is kept, and a file that has become malformed is refused, not overwritten.
  const std::string text = read().value_or("");
  replace_file_atomically(path_, with_runtime_mode(text, mode, path_.string()));
}

}  // namespace host::config
