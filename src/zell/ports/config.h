#pragma once
// The host's configuration as far as the system reads and writes it, and the store that keeps
// it. Everything else in the configuration (where it lives, its other sections) is the host's.

#include <string>

namespace zell::ports {

// The `runtime` section: the system writes the chosen mode into `laptop_26b_runtime_mode`
// ("turbo" or "turbo-think").
struct RuntimeConfig {
  std::string laptop_26b_runtime_mode;
};

struct ZellConfig {
  RuntimeConfig runtime;
};

// The configuration store (`save_config` of the host's configuration module).
class ConfigStore {
 public:
  virtual ~ConfigStore() = default;
  // Stores the whole configuration. Errors are not caught by the system.
  virtual void save_config(const ZellConfig& config) = 0;
};

}  // namespace zell::ports
