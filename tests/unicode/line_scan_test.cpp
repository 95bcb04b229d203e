// Line reading without copies must split and strip exactly as the copying text operations do.

#include "unicode/line_scan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "unicode/text_ops.h"
#include "unicode/utf8.h"

namespace unicode {
namespace {

std::vector<std::string> read_all(std::string_view s) {
  std::vector<std::string> out;
  LineReader reader(s);
  for (std::string_view line; reader.next(line);) out.push_back(unicode::sanitize(line));
  return out;
}

// Random texts built from pieces that meet every boundary, white space and invalid-byte case.
TEST(LineScan, splits_and_strips_as_the_text_operations) {
  const std::vector<std::string> pieces = {
      "a",    "\n",       "\r",           "\r\n",         "\x0b",         "\x1c",     "\x1e",
      "\x1f", "\xC2\x85", "\xE2\x80\xA8", "\xE2\x80\xA9", "\xE2\x80\xAA", "\xE2\x80", "\xC2",
      " ",    "\xC2\xA0", "\xE3\x80\x80", "\xFF",         "\t",           "é"};
  std::mt19937 rng(7);
  std::uniform_int_distribution<std::size_t> pick(0, pieces.size() - 1);
  std::uniform_int_distribution<int> len(0, 12);
  for (int round = 0; round < 20000; ++round) {
    std::string s;
    for (int n = len(rng); n > 0; --n) s += pieces[pick(rng)];
    ASSERT_EQ(read_all(s), unicode::split_lines(s)) << testing::PrintToString(s);
    ASSERT_EQ(unicode::sanitize(strip_view(s)), unicode::strip(s)) << testing::PrintToString(s);
    ASSERT_EQ(unicode::sanitize(rstrip_view(s)), unicode::rstrip(s)) << testing::PrintToString(s);
    LineReader counted(s);
    ASSERT_EQ(counted.count_rest(), unicode::split_lines(s).size());
    for (std::size_t n : {0u, 1u, 3u}) {
      ASSERT_EQ(longer_than(s, n), unicode::cp_count(s) > n) << testing::PrintToString(s);
    }
  }
}

}  // namespace
}  // namespace unicode
