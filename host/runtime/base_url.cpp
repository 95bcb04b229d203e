#include "host/runtime/base_url.h"

namespace host::runtime {

std::optional<BaseUrl> parse_base_url(std::string_view text) {
  std::string_view scheme;
  for (std::string_view s : {"http://", "https://"}) {
    if (text.starts_with(s)) scheme = s;
  }
  if (scheme.empty()) return std::nullopt;
  std::string_view rest = text.substr(scheme.size());
  const std::size_t slash = rest.find('/');
  const std::string_view authority = rest.substr(0, slash);
  std::string_view path = slash == std::string_view::npos ? "" : rest.substr(slash);
  if (authority.empty() || authority.find_first_of("@?# ") != std::string_view::npos ||
      path.find_first_of("?# ") != std::string_view::npos) {
    return std::nullopt;
  }
  while (path.ends_with('/')) path.remove_suffix(1);
  return BaseUrl{std::string(scheme) + std::string(authority), std::string(path)};
}

}  // namespace host::runtime
