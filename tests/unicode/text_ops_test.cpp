#include "unicode/text_ops.h"

#include <gtest/gtest.h>

#include "unicode/ascii_scan.h"
#include "unicode/utf8.h"

namespace {

using Lines = std::vector<std::string>;

struct SplitCase {
  const char* name;
  std::string input;
  Lines lines;
};

class SplitLines : public testing::TestWithParam<SplitCase> {};

TEST_P(SplitLines, BreaksAtEveryBoundaryWithoutEmptyLastLine) {
  EXPECT_EQ(unicode::split_lines(GetParam().input), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SplitLines,
    testing::Values(SplitCase{"empty", "", {}}, SplitCase{"no_boundary", "abc", {"abc"}},
                    SplitCase{"lf", "a\nb", {"a", "b"}},
                    SplitCase{"trailing_lf_gives_no_empty_line", "a\n", {"a"}},
                    SplitCase{"only_lf", "\n", {""}}, SplitCase{"two_lf", "\n\n", {"", ""}},
                    SplitCase{"crlf_is_one", "a\r\nb", {"a", "b"}},
                    SplitCase{"lfcr_is_two", "a\n\rb", {"a", "", "b"}},
                    SplitCase{"cr", "a\rb\r", {"a", "b"}},
                    SplitCase{"vt_ff", "a\vb\fc", {"a", "b", "c"}},
                    SplitCase{"fs_gs_rs",
                              "a\x1c"
                              "b\x1d"
                              "c\x1e"
                              "d",
                              {"a", "b", "c", "d"}},
                    SplitCase{"us_is_not_a_boundary",
                              "a\x1f"
                              "b",
                              {"a\x1f"
                               "b"}},
                    SplitCase{"nel",
                              "a\xC2\x85"
                              "b",
                              {"a", "b"}},
                    SplitCase{"line_and_paragraph_separators",
                              "a\xE2\x80\xA8"
                              "b\xE2\x80\xA9",
                              {"a", "b"}},
                    SplitCase{"invalid_bytes_kept_as_replacement", "\xFF\n", {"\xEF\xBF\xBD"}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(IsSpace, MatchesTheUnicodeWhiteSpaceSet) {
  for (char32_t cp :
       {0x09, 0x0A,   0x0B,   0x0C,   0x0D,   0x1C,   0x1D,   0x1E,   0x1F,   0x20,  0x85,
        0xA0, 0x1680, 0x2000, 0x2005, 0x200A, 0x2028, 0x2029, 0x202F, 0x205F, 0x3000}) {
    EXPECT_TRUE(unicode::is_space(cp)) << std::hex << static_cast<unsigned>(cp);
  }
  for (char32_t cp : {0x00, 0x08, 0x21, 0x200B, 0x200D, 0xFEFF, 0x180E, 0x2060, 0x61}) {
    EXPECT_FALSE(unicode::is_space(cp)) << std::hex << static_cast<unsigned>(cp);
  }
}

TEST(Strip, RemovesUnicodeWhiteSpaceOnly) {
  EXPECT_EQ(unicode::strip(" \t\xE3\x80\x80"
                           "a b\xC2\xA0\n"),
            "a b");
  EXPECT_EQ(unicode::rstrip("  a \x1f"), "  a");
  EXPECT_EQ(unicode::strip("\xE2\x80\xA8 a "), "a");
  EXPECT_EQ(unicode::strip("\xE2\x80\x8B"
                           "a"),
            "\xE2\x80\x8B"
            "a");  // zero-width space stays
  EXPECT_EQ(unicode::strip(" \n "), "");
}

TEST(VisibleControls, ReplacesOneForOneAndKeepsLineFeedAndTab) {
  EXPECT_EQ(unicode::visible_controls("a\x1b[31mb"), "a\xE2\x90\x9B[31mb");
  EXPECT_EQ(unicode::visible_controls("\x07\x7f"), "\xE2\x90\x87\xE2\x90\xA1");
  EXPECT_EQ(unicode::visible_controls("x\ny\tz"), "x\ny\tz");
  EXPECT_EQ(unicode::visible_controls("\r"), "\xE2\x90\x8D");
  EXPECT_EQ(unicode::visible_controls("\xC2\x9B"
                                      "6n"),
            "\xEF\xBF\xBD"
            "6n");  // 8-bit CSI
  EXPECT_EQ(unicode::visible_controls("\xFF"), "\xEF\xBF\xBD");
  EXPECT_EQ(unicode::visible_controls("plain \xC3\xA9"), "plain \xC3\xA9");
  // Past a long run of printable ASCII (read eight bytes a step), and line feeds and tabs in it.
  EXPECT_EQ(unicode::visible_controls("sixteen\tbytes\nok\x7f"), "sixteen\tbytes\nok\xE2\x90\xA1");
  EXPECT_EQ(unicode::visible_controls("a longer line\nof plain text\t"),
            "a longer line\nof plain text\t");
}

TEST(VisibleControls, PreservesTheCodePointCount) {
  const std::string s =
      "\x1b]52;c;aGk=\x07\x1b"
      "c\x7f\xC2\x85\x01";
  EXPECT_EQ(unicode::cp_count(unicode::visible_controls(s)), unicode::cp_count(s));
  EXPECT_FALSE(unicode::has_controls(unicode::visible_controls(s)));
}

TEST(Strip, TrailingSpaceReadFromTheEndMatchesAForwardRead) {
  // rstrip reads characters back from the end; every mix of spaces (ASCII and not), letters,
  // stray continuation bytes, cut-short and overlong sequences must end where reading the
  // text forwards, character by character, ends its last non-space character.
  const std::vector<std::string> pieces = {
      " ",    "a",        "\xC2\xA0", "\xE2\x80\xA8",     "\xE3\x80\x80", "\x80",
      "\xC3", "\xE2\x80", "\xC0\xA0", "\xF0\x9F\x98\x80", "\n",           "\xC2\x85"};
  auto forward = [](std::string_view s) {
    std::size_t end = 0;
    unicode::for_each_cp(s, [&](char32_t cp, std::size_t off, std::size_t len) {
      if (!unicode::is_space(cp)) end = off + len;
    });
    return unicode::sanitize(s.substr(0, end));
  };
  const std::size_t n = pieces.size();
  for (std::size_t a = 0; a < n; ++a) {
    for (std::size_t b = 0; b < n; ++b) {
      for (std::size_t c = 0; c < n; ++c) {
        for (std::size_t d = 0; d < n; ++d) {
          const std::string s = pieces[a] + pieces[b] + pieces[c] + pieces[d];
          ASSERT_EQ(unicode::rstrip(s), forward(s)) << testing::PrintToString(s);
        }
      }
    }
  }
}

}  // namespace

namespace {

// Every stop byte at every offset of a word and of the tail, for each lower bound the callers
// use: the scan must name the first stop exactly, also when a borrow could spill into it.
TEST(AsciiRunEnd, StopsAtTheFirstByteOutsideTheRange) {
  for (const unsigned char lowest : {0x00, 0x20, 0x21}) {
    for (const unsigned char stop : {0x00, 0x0a, 0x1f, 0x20, 0x7f, 0x80, 0xc3, 0xff}) {
      const bool stops = stop < lowest || stop >= 0x7f;
      for (std::size_t at = 0; at < 19; ++at) {
        std::string s(19, '~');
        s[at] = static_cast<char>(stop);
        if (at + 1 < s.size()) s[at + 1] = '\x01';  // a later stop must not hide this one
        const std::size_t expected = stops ? at : (lowest > 1 ? at + 1 : s.size());
        EXPECT_EQ(unicode::ascii_run_end(s, 0, s.size(), lowest), expected)
            << "lowest " << int(lowest) << " stop " << int(stop) << " at " << at;
        EXPECT_EQ(unicode::ascii_run_end(s, 0, at, lowest), at);  // the limit ends the run
      }
    }
  }
}

}  // namespace
