#pragma once
// The configuration store: config.toml read once at start-up, and the runtime mode the mode
// picker chooses written back into it.

#include <filesystem>
#include <optional>
#include <string>

#include "host/config/host_config.h"
#include "zell/ports/config.h"

namespace host::config {

class TomlConfigStore final : public zell::ports::ConfigStore {
 public:
  // The store for the file at `path` (default_config_path() or --config PATH). Reads nothing yet.
  explicit TomlConfigStore(std::filesystem::path path);

  [[nodiscard]] const std::filesystem::path& path() const { return path_; }

  // Reads and checks the file. A missing file gives the defaults. Throws ConfigError for a file
  // that cannot be read or is not valid (naming the file, line and column).
  [[nodiscard]] HostConfig load() const;

  // Writes `config.runtime.laptop_26b_runtime_mode` into the file, atomically, changing nothing
  // else in it; creates the file and its folder when missing. Throws ConfigError when the mode
  // is not "turbo" or "turbo-think", when the file on disk has become malformed (it is then left
  // as it is), or when the file or its folder is read-only or cannot be written.
  void save_config(const zell::ports::ZellConfig& config) override;

 private:
  // The file's text, or nothing when there is no file.
  [[nodiscard]] std::optional<std::string> read() const;

  std::filesystem::path path_;
};

}  // namespace host::config
