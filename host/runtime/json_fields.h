#pragma once
// Reading optional fields of a server's JSON without throwing on a shape it did not promise.

#include <string>

#include <nlohmann/json.hpp>

namespace host::runtime {

// The string at `key`, or null when the key is missing or holds something else.
inline const std::string* string_at(const nlohmann::json& object, const char* key) {
  const auto it = object.find(key);
  return it != object.end() && it->is_string() ? it->get_ptr<const std::string*>() : nullptr;
}

}  // namespace host::runtime
