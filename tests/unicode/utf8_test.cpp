#include "unicode/utf8.h"

#include <gtest/gtest.h>

namespace {

using unicode::cp_count;
using unicode::cp_prefix;
using unicode::sanitize;

const std::string FFFD = "\xEF\xBF\xBD";

struct Case {
  const char* name;
  std::string input;
  std::string sanitized;
  std::size_t count;
};

class InvalidUtf8 : public testing::TestWithParam<Case> {};

TEST_P(InvalidUtf8, EachBadByteBecomesOneReplacementAndCountsOnce) {
  const Case& c = GetParam();
  EXPECT_EQ(sanitize(c.input), c.sanitized);
  EXPECT_EQ(cp_count(c.input), c.count);
  EXPECT_TRUE(unicode::is_valid(sanitize(c.input)));
}

INSTANTIATE_TEST_SUITE_P(
    Table, InvalidUtf8,
    testing::Values(Case{"ascii", "abc", "abc", 3}, Case{"two_byte", "\xC3\xA9", "\xC3\xA9", 1},
                    Case{"four_byte_emoji", "\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80", 1},
                    Case{"stray_continuation", "a\x80z", "a" + FFFD + "z", 3},
                    Case{"overlong_slash", "\xC0\xAF", FFFD + FFFD, 2},
                    Case{"overlong_three", "\xE0\x80\xAF", FFFD + FFFD + FFFD, 3},
                    Case{"surrogate", "\xED\xA0\x80", FFFD + FFFD + FFFD, 3},
                    Case{"above_max", "\xF4\x90\x80\x80", FFFD + FFFD + FFFD + FFFD, 4},
                    Case{"truncated_at_end", "ab\xE2\x82", "ab" + FFFD + FFFD, 4},
                    Case{"lead_then_ascii", "\xE2(x", FFFD + "(x", 3},
                    Case{"ff_byte", "\xFF", FFFD, 1}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CpPrefix, CountsCodePointsNotBytes) {
  EXPECT_EQ(cp_prefix("h\xC3\xA9llo", 2), "h\xC3\xA9");
  EXPECT_EQ(cp_prefix("\xF0\x9F\x98\x80\xF0\x9F\x98\x80", 1), "\xF0\x9F\x98\x80");
}

TEST(CpPrefix, ShorterTextIsWholeText) {
  EXPECT_EQ(cp_prefix("abc", 10), "abc");
  EXPECT_EQ(cp_prefix("", 3), "");
  EXPECT_EQ(cp_prefix("abc", 0), "");
}

TEST(CpPrefix, NeverCutsInsideASequenceAndReplacesBadBytes) {
  EXPECT_EQ(cp_prefix("a\xFF\xC3\xA9z", 3), "a" + FFFD + "\xC3\xA9");
  EXPECT_EQ(cp_count(cp_prefix("a\xFF\xC3\xA9z", 3)), 3u);
}

TEST(Encode, RoundTripsAndReplacesImpossibleCodePoints) {
  const std::string s = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
  std::string round_trip;
  unicode::for_each_cp(
      s, [&](char32_t cp, std::size_t, std::size_t) { unicode::append_utf8(round_trip, cp); });
  EXPECT_EQ(round_trip, s);
  std::string out;
  unicode::append_utf8(out, 0xD800);
  unicode::append_utf8(out, 0x110000);
  EXPECT_EQ(out, FFFD + FFFD);
}

}  // namespace

namespace {

TEST(Utf8Validity, ABadByteIsFoundWhereverItFallsInLongAsciiText) {
  // Long ASCII stretches are checked several bytes at a time: a bad byte or a sequence cut
  // short must be seen at every offset, including the last bytes that do not fill a word.
  for (std::size_t len : {7u, 8u, 9u, 16u, 23u, 40u}) {
    for (std::size_t at = 0; at < len; ++at) {
      std::string s(len, 'a');
      s[at] = '\x80';
      EXPECT_FALSE(unicode::is_valid(s)) << len << " " << at;
      s[at] = '\xC3';  // a lead byte with no continuation
      EXPECT_FALSE(unicode::is_valid(s)) << len << " " << at;
      const std::string ok = std::string(at, 'a') + "\xC3\xA9" + std::string(len - at, 'a');
      EXPECT_TRUE(unicode::is_valid(ok)) << len << " " << at;
    }
  }
}

}  // namespace
