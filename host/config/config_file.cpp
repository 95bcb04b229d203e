#include "host/config/config_file.h"

#include <fmt/format.h>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <string>
#include <vector>

#include "host/config/toml_document.h"

namespace host::config {

namespace {

// A user's value quoted for an error message, controls escaped and long values cut short.
std::string quoted_value(std::string_view value) {
  constexpr std::size_t kMaxBytes = 60;
  std::size_t cut = std::min(value.size(), kMaxBytes);
  // Never stop inside a UTF-8 sequence.
  while (cut < value.size() && (static_cast<unsigned char>(value[cut]) & 0xC0) == 0x80) ++cut;
  return fmt::format("\"{}{}\"", escape_controls(value.substr(0, cut)),
                     cut < value.size() ? "…" : "");
}

// Whether `url` is http(s)://host[:port][/path]: a host of letters, digits and "-._~%" (or an
// IPv6 address in brackets), a port of 1 to 65535, and nothing blank or control anywhere.
bool is_http_url(std::string_view url) {
  std::string_view rest;
  if (url.starts_with("http://")) {
    rest = url.substr(7);
  } else if (url.starts_with("https://")) {
    rest = url.substr(8);
  } else {
    return false;
  }
  for (const char c : rest) {
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7f) return false;
  }
  std::string_view authority = rest.substr(0, rest.find_first_of("/?#"));
  if (const auto at = authority.rfind('@'); at != std::string_view::npos) {
    authority.remove_prefix(at + 1);  // user:password@ is the server's business
  }
  std::string_view host = authority;
  std::string_view port;
  if (authority.starts_with('[')) {
    const auto close = authority.find(']');
    if (close == std::string_view::npos || close == 1) return false;
    host = authority.substr(1, close - 1);
    if (host.find_first_not_of("0123456789abcdefABCDEF:.") != std::string_view::npos) return false;
    const std::string_view after = authority.substr(close + 1);
    if (!after.empty() && !after.starts_with(':')) return false;
    if (!after.empty()) port = after.substr(1);
  } else {
    const auto colon = authority.find(':');
    host = authority.substr(0, colon);
    if (colon != std::string_view::npos) port = authority.substr(colon + 1);
    if (host.empty()) return false;
    for (const char c : host) {
      const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                      c == '-' || c == '.' || c == '_' || c == '~' || c == '%' ||
                      static_cast<unsigned char>(c) >= 0x80;
      if (!ok) return false;
    }
  }
  if (authority.find(':') != std::string_view::npos && !authority.starts_with('[') &&
      port.empty()) {
    return false;
  }
  if (!port.empty()) {
    if (port.size() > 5 || port.find_first_not_of("0123456789") != std::string_view::npos) {
      return false;
    }
    const int n = std::stoi(std::string(port));
    if (n < 1 || n > 65535) return false;
  }
  return true;
}

// The sections and keys this build reads; anything else in the file draws a warning.
struct KnownSection {
  std::string_view name;
  std::vector<std::string_view> keys;
};
const KnownSection kKnown[] = {
    {"runtime", {"laptop_26b_runtime_mode", "backend", "base_url", "timeout_s", "model"}},
    {"agent", {"system_prompt", "idle_timeout_s", "command", "cwd", "env"}},
    {"ui", {"theme", "notify"}},
};

// Warnings "source:line: unknown …" for every key and section that no build of ours reads, so
// that a misspelt one is noticed; a newer file's keys are not an error.
std::vector<std::string> unknown_keys(const toml::table& doc, std::string_view source) {
  std::vector<std::string> warnings;
  const auto warn = [&](const toml::node& node, std::string_view what, std::string_view name) {
    warnings.push_back(fmt::format("{}:{}: unknown {} {} (ignored)", source,
                                   node.source().begin.line, what, escape_controls(name)));
  };
  for (const auto& entry : doc) {
    // Named, not a structured binding: clang cannot capture a binding in the lambda below.
    const toml::key& key = entry.first;
    const toml::node& node = entry.second;
    const auto known = std::find_if(std::begin(kKnown), std::end(kKnown),
                                    [&](const KnownSection& k) { return k.name == key.str(); });
    if (known == std::end(kKnown)) {
      warn(node, node.is_table() ? "section" : "key", key.str());
      continue;
    }
    if (!node.is_table()) continue;  // reported as an error by the reader
    for (const auto& [inner, value] : *node.as_table()) {
      if (std::find(known->keys.begin(), known->keys.end(), inner.str()) == known->keys.end()) {
        warn(value, "key", fmt::format("{}.{}", key.str(), inner.str()));
      }
    }
  }
  return warnings;
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
      expected += quoted_value(a);
    }
    fail(*table.get(key),
         fmt::format("{}.{} must be {}, not {}", section, key, expected, quoted_value(*value)));
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
    if (!is_http_url(*url)) {
      r.fail(
          *t.get("base_url"),
          fmt::format("runtime.base_url must be an http:// or https:// URL, not {}", quoted_value(*url)));
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

void read_ui(const Reader& r, const toml::table& t, HostConfig& config) {
  constexpr std::string_view s = "ui";
  if (auto theme = r.choice(t, s, "theme", {"auto", "dark", "light"})) config.ui.theme = *theme;
  if (auto notify = r.choice(t, s, "notify", {"auto", "bell", "off"})) config.ui.notify = *notify;
}

}  // namespace

HostConfig parse_config(std::string_view text, std::string_view source) {
  const toml::table doc = parse_toml(text, source);
  const Reader reader(source);
  HostConfig config;
  if (const auto* runtime = reader.section(doc, "runtime")) read_runtime(reader, *runtime, config);
  if (const auto* agent = reader.section(doc, "agent")) read_agent(reader, *agent, config);
  if (const auto* ui = reader.section(doc, "ui")) read_ui(reader, *ui, config);
  config.warnings = unknown_keys(doc, source);
  return config;
}

}  // namespace host::config
