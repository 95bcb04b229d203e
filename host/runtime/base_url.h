#pragma once
// The model server's address as configured: scheme, host and port, and an optional path prefix
// ("http://box:8080/llm/" serves "/llm/health").

#include <optional>
#include <string>
#include <string_view>

namespace host::runtime {

struct BaseUrl {
  std::string origin;       // "http://host:port", what the HTTP client connects to
  std::string path_prefix;  // "" or "/llm", never ending in "/"

  // The full address of `path` ("/health") under this base, for messages.
  [[nodiscard]] std::string url(std::string_view path = "") const {
    return origin + path_prefix + std::string(path);
  }
};

// Parses "http://host[:port][/prefix][/]" or the same with https. Nothing for any other
// scheme, an empty host, user information, a query or a fragment.
[[nodiscard]] std::optional<BaseUrl> parse_base_url(std::string_view text);

}  // namespace host::runtime
