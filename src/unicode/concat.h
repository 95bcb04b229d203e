#pragma once
// Joins pieces of text into one string with one allocation. (Also sidesteps GCC 12's false
// -Wrestrict warning on `"literal" + std::string`.)

#include <initializer_list>
#include <string>
#include <string_view>

namespace unicode {

[[nodiscard]] inline std::string concat(std::initializer_list<std::string_view> pieces) {
  std::size_t size = 0;
  for (std::string_view p : pieces) size += p.size();
  std::string s;
  s.reserve(size);
  for (std::string_view p : pieces) s += p;
  return s;
}

}  // namespace unicode
