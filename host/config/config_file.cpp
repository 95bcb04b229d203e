#include "host/config/config_file.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>

#include "host/config/toml_document.h"

namespace host::config {

namespace {

// A user's value quoted for an error message, controls escaped and long values cut short.
std::string quoted(std::string_view value) {
  constexpr std::size_t kMaxBytes = 60;
  std::size_t cut = std::min(value.size(), kMaxBytes);
  // Never stop inside a UTF-8 sequence.
  while (cut < value.size() && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) ++cut;
  return fmt::format("\"{}{}\"", escape_controls(value.substr(0, cut)),
                     cut < value.size() ? "…" : "");
}

class Reader {
 public:
  explicit Reader(std::string_view source) : source_(source) {}

  [[noreturn]] void fail(const toml::node& node, std::string_view message) const {
    const auto& at = node.source().begin;
    throw ConfigError(fmt::format("{}:{}:{}: {}", source_, at.line, at.column, message));
  }

  // The table `name` of the document, or null when the document has none.
  const toml::table* section(const toml::table& doc, std::string_view name) const {
    const toml::node* node = doc.get(name);
    if (node == nullptr) return nullptr;
    if (!node->is_table()) fail(*node, fmt::format("{} must be a table ([{}])", name, name));
    return node->as_table();
  }

  std::optional<std::string> string(const toml::table& table, std::string_view section,
                                    std::string_view key) const {
    const toml::node* node = table.get(key);
    if (node == nullptr) return std::nullopt;
    if (!node->is_string()) fail(*node, fmt::format("{}.{} must be a string", section, key));
    return node->as_string()->get();
  }

  // One of `allowed`, or nothing when the key is absent.
  std::optional<std::string> choice(const toml::table& table, std::string_view section,
                                    std::string_view key,
                                    std::initializer_list<std::string_view> allowed) const {
    auto value = string(table, section, key);
    if (!value) return value;
    for (auto a : allowed) {
      if (*value == a) return value;
    }
    std::string expected;
    for (auto a : allowed) {
      expected += expected.empty() ? "" : " or ";
      expected += quoted(a);
    }
    fail(*table.get(key),
         fmt::format("{}.{} must be {}, not {}", section, key, expected, quoted(*value)));
  }

  std::optional<double> seconds(const toml::table& table, std::string_view section,
                                std::string_view key) const {
    const toml::node* node = table.get(key);
    if (node == nullptr) return std::nullopt;
    double value = 0;
    if (node->is_integer()) {
      value = static_cast<double>(node->as_integer()->get());
    } else if (node->is_floating_point()) {
      value = node->as_floating_point()->get();
    } else {
      fail(*node, fmt::format("{}.{} must be a number of seconds", section, key));
    }
    if (!std::isfinite(value) || value <= 0 || value > kMaxSeconds) {
      fail(*node, fmt::format("{}.{} must be a number of seconds greater than 0 and at most {}",
                              section, key, kMaxSeconds));
    }
    return value;
  }

 private:
  std::string_view source_;
};

void read_runtime(const Reader& r, const toml::table& t, HostConfig& config) {
  constexpr std::string_view s = "runtime";
  if (auto mode = r.choice(t, s, "laptop_26b_runtime_mode", {"turbo", "turbo-think"})) {
    config.zell.runtime.laptop_26b_runtime_mode = *mode;
  }
  if (auto backend = r.choice(t, s, "backend", {"demo", "http"})) {
    config.runtime.backend = *backend == "http" ? Backend::http : Backend::demo;
  }
  if (auto url = r.string(t, s, "base_url")) {
    const std::string_view v = *url;
    const bool http = v.starts_with("http://") && v.size() > 7;
    const bool https = v.starts_with("https://") && v.size() > 8;
    if (!http && !https) {
      r.fail(
          *t.get("base_url"),
          fmt::format("runtime.base_url must start with http:// or https://, not {}", quoted(v)));
    }
    config.runtime.base_url = *url;
  }
  if (auto timeout = r.seconds(t, s, "timeout_s")) config.runtime.timeout_s = *timeout;
  config.runtime.model = r.string(t, s, "model");
}

void read_agent(const Reader& r, const toml::table& t, HostConfig& config) {
  constexpr std::string_view s = "agent";
  config.agent.system_prompt = r.string(t, s, "system_prompt");
  if (auto idle = r.seconds(t, s, "idle_timeout_s")) config.agent.idle_timeout_s = *idle;
  if (const toml::node* node = t.get("command")) {
    const toml::array* argv = node->as_array();
    if (argv == nullptr || argv->empty()) {
      r.fail(*node, "agent.command must be a list of strings, the program first");
    }
    for (const toml::node& part : *argv) {
      if (!part.is_string()) r.fail(part, "agent.command must be a list of strings");
      config.agent.command.push_back(part.as_string()->get());
    }
  }
  config.agent.cwd = r.string(t, s, "cwd");
  if (const toml::node* node = t.get("env")) {
    if (!node->is_table()) r.fail(*node, "agent.env must be a table of strings");
    for (const auto& [name, value] : *node->as_table()) {
      if (!value.is_string()) r.fail(value, "agent.env values must be strings");
      config.agent.env.emplace_back(std::string(name.str()), value.as_string()->get());
    }
  }
}

}  // namespace

HostConfig parse_config(std::string_view text, std::string_view source) {
  const toml::table doc = parse_toml(text, source);
  const Reader reader(source);
  HostConfig config;
  if (const auto* runtime = reader.section(doc, "runtime")) read_runtime(reader, *runtime, config);
  if (const auto* agent = reader.section(doc, "agent")) read_agent(reader, *agent, config);
  return config;
}

}  // namespace host::config
