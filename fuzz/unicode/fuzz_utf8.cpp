// Any byte string: every helper yields valid UTF-8, counts agree, and cuts stay inside the text.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "unicode/text_ops.h"
#include "unicode/utf8.h"
#include "unicode/width.h"

namespace {

void check(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view s(reinterpret_cast<const char*>(data), size);
  const std::size_t n = unicode::cp_count(s);
  const std::string clean = unicode::sanitize(s);
  check(unicode::is_valid(clean));
  check(unicode::cp_count(clean) == n);
  const std::string half = unicode::cp_prefix(s, n / 2);
  check(unicode::is_valid(half) && unicode::cp_count(half) == n / 2);
  const std::string visible = unicode::visible_controls(s);
  check(unicode::is_valid(visible) && unicode::cp_count(visible) == n);
  check(!unicode::has_controls(visible));
  for (const std::string& line : unicode::split_lines(s)) {
    check(unicode::is_valid(line));
    for (char c : line) check(c != '\n' && c != '\r');
  }
  check(unicode::is_valid(unicode::strip(s)));
  check(unicode::str_width(s) <= 2 * n);
  return 0;
}
