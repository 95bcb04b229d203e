#pragma once
// The host's whole configuration, as read from config.toml: the system's part (the runtime
// mode) plus what only the host reads (which runtime backend to ask, and the agent's settings).

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "zell/ports/config.h"

namespace host::config {

// A configuration that cannot be read, parsed, validated or saved. what() names the file and,
// for a malformed file, the line and column ("config.toml:3:9: …"). The application reports it
// and exits with status 2 before any screen opens.
class ConfigError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

enum class Backend { demo, http };

inline constexpr double kDefaultTimeoutS = 2.0;
inline constexpr double kDefaultIdleTimeoutS = 60.0;
inline constexpr const char* kDefaultBaseUrl = "http://127.0.0.1:8080";

// The [runtime] section apart from the mode, which lives in ZellConfig.
struct RuntimeSettings {
  Backend backend = Backend::demo;
  std::string base_url = kDefaultBaseUrl;
  double timeout_s = kDefaultTimeoutS;
  std::optional<std::string> model;
};

// The [agent] section, read by the agent that talks to a model server; `command` (with `cwd`
// and `env`) names an Agent Client Protocol agent to run instead.
struct AgentSettings {
  std::optional<std::string> system_prompt;
  double idle_timeout_s = kDefaultIdleTimeoutS;
  std::vector<std::string> command;  // argv; empty: no ACP agent
  std::optional<std::string> cwd;
  std::vector<std::pair<std::string, std::string>> env;
};

// The [ui] section: how the full screen looks and calls for attention. Kept as the words the
// file holds (each checked against its choices when read); the screen interprets them.
struct UiSettings {
  std::string theme = "auto";   // "auto" (ask the terminal's background), "dark", "light"
  std::string notify = "auto";  // "auto" (what the terminal understands), "bell", "off"
};

struct HostConfig {
  // The system's view: `runtime.laptop_26b_runtime_mode` is "turbo", "turbo-think", or empty
  // while the user has never picked a mode.
  zell::ports::ZellConfig zell;
  RuntimeSettings runtime;
  AgentSettings agent;
  UiSettings ui;
  // "file:line: unknown key …" for keys and sections this build does not read: shown to the
  // user, never fatal (a newer version's file may hold them).
  std::vector<std::string> warnings;
};

}  // namespace host::config
