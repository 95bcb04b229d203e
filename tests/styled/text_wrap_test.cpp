#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "styled/text.h"
#include "unicode/text_ops.h"
#include "unicode/width.h"

namespace styled {
namespace {

std::vector<std::string> rows(const Text& t, int width) {
  std::vector<std::string> out;
  for (const Line& line : t.wrap(width)) out.push_back(line.text());
  return out;
}

using Rows = std::vector<std::string>;

struct WrapCase {
  const char* name;
  const char* text;
  int width;
  Rows expected;
};

class TextWrap : public ::testing::TestWithParam<WrapCase> {};

TEST_P(TextWrap, BreaksAtSpacesAndFoldsLongWords) {
  const auto& c = GetParam();
  EXPECT_EQ(rows(Text(c.text), c.width), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextWrap,
    ::testing::Values(WrapCase{"fits", "hello world", 20, {"hello world"}},
                      WrapCase{"breaks_at_space", "hello world", 8, {"hello", "world"}},
                      WrapCase{"exact_width", "hello world", 11, {"hello world"}},
                      WrapCase{"spaces_at_break_dropped", "aaa    bbb", 5, {"aaa", "bbb"}},
                      WrapCase{"long_word_folded", "abcdefghij", 4, {"abcd", "efgh", "ij"}},
                      // A mark joins the letter before it, at either side of a fold; with
                      // an emoji selector the pair is two cells wide and moves as one.
                      WrapCase{"mark_on_last_letter", "abcde\u0301fg", 5, {"abcde\u0301", "fg"}},
                      WrapCase{"mark_after_fold", "abcde\u0301fg", 4, {"abcd", "e\u0301fg"}},
                      // Drawn per code point (no grapheme clustering): a selector widens nothing.
                      WrapCase{"selector_takes_no_cell", "ab#\uFE0Fc", 3, {"ab#\uFE0F", "c"}},
                      WrapCase{"long_word_after_short", "ab cdefghij", 4, {"ab", "cdef", "ghij"}},
                      WrapCase{"line_feed", "one\ntwo three", 5, {"one", "two", "three"}},
                      WrapCase{"empty_lines_kept", "a\n\nb", 5, {"a", "", "b"}},
                      WrapCase{"empty_text", "", 5, {""}},
                      WrapCase{"leading_spaces_kept", "  indented", 20, {"  indented"}},
                      WrapCase{"trailing_spaces_cut_at_width", "abc      ", 5, {"abc  "}},
                      WrapCase{"cjk_is_two_cells", "日本語テキスト", 6, {"日本語", "テキス", "ト"}},
                      WrapCase{"cjk_does_not_straddle", "a日本", 4, {"a日", "本"}},
                      WrapCase{"combining_takes_no_cell",
                               "e\u0301e\u0301e\u0301e\u0301",
                               2,
                               {"e\u0301e\u0301", "e\u0301e\u0301"}},
                      WrapCase{"emoji_sequence_per_code_point",
                               "\U0001F469\u200D\U0001F4BB ab",
                               3,
                               {"\U0001F469\u200D", "\U0001F4BB", "ab"}},
                      WrapCase{"width_one_wide_char_alone", "日本", 1, {"日", "本"}},
                      WrapCase{"tab_expanded", "a\tb", 20, {"a       b"}}),
    [](const auto& info) { return std::string(info.param.name); });

struct CutCase {
  const char* name;
  const char* text;
  int width;
  Overflow overflow;
  const char* expected;
};

class TextOneLine : public ::testing::TestWithParam<CutCase> {};

TEST_P(TextOneLine, NeverWrapsAndCutsAtTheWidth) {
  const auto& c = GetParam();
  Text t = Text::one_line();
  t.set_overflow(c.overflow);
  t.append(c.text);
  EXPECT_EQ(rows(t, c.width), Rows{c.expected});
}

INSTANTIATE_TEST_SUITE_P(
    Cases, TextOneLine,
    ::testing::Values(CutCase{"reference_ellipsis", "aaaa bbbb cccc dddd eeee", 20,
                              Overflow::ellipsis, "aaaa bbbb cccc dddd…"},
                      CutCase{"fits_untouched", "short", 20, Overflow::ellipsis, "short"},
                      CutCase{"exact_fit_untouched", "abcde", 5, Overflow::ellipsis, "abcde"},
                      CutCase{"crop", "abcdefgh", 5, Overflow::crop, "abcde"},
                      CutCase{"fold_acts_as_crop", "abcdefgh", 5, Overflow::fold, "abcde"},
                      CutCase{"wide_char_never_straddles", "日本語テキスト", 6, Overflow::ellipsis,
                              "日本…"},
                      CutCase{"emoji_kept_whole", "ab\U0001F600\U0001F600\U0001F600", 5,
                              Overflow::ellipsis, "ab\U0001F600…"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(TextWrap, NoRowIsWiderThanTheWidth) {
  std::string s;
  for (int i = 0; i < 200; ++i) s += (i % 7 == 0) ? "日本 " : (i % 5 == 0 ? "   " : "word ");
  for (int width : {2, 3, 7, 13, 40}) {
    for (const Line& line : Text(s).wrap(width)) {
      EXPECT_LE(unicode::str_width(line.text()), static_cast<std::size_t>(width));
      EXPECT_EQ(line.cells, unicode::str_width(line.text()));
    }
  }
}

TEST(TextWrap, SegmentsCarryTheirSpanStyles) {
  Text t;
  t.append("❯ ", "bold #5f87ff");
  t.append("hello there", "bold white");
  const Lines lines = t.wrap(8);
  ASSERT_EQ(lines.size(), 2u);
  ASSERT_EQ(lines[0].segments.size(), 2u);
  EXPECT_EQ(lines[0].segments[0].text, "❯ ");
  EXPECT_EQ(lines[0].segments[0].style, Style::parse("bold #5f87ff"));
  EXPECT_EQ(lines[0].segments[1].text, "hello");
  EXPECT_EQ(lines[1].segments[0].text, "there");
  EXPECT_EQ(lines[1].segments[0].style, Style::parse("bold white"));
}

TEST(TextWrap, EllipsisTakesTheStyleOfTheLastKeptCharacter) {
  Text t = Text::one_line();
  t.append("abc", "red").append("defgh", "blue");
  const Lines lines = t.wrap(5);
  ASSERT_EQ(lines.size(), 1u);
  EXPECT_EQ(lines[0].text(), "abcd…");
  EXPECT_EQ(lines[0].segments.back().style, Style::parse("blue"));
}

TEST(TextWrap, CenteredRowsArePaddedOnBothSides) {
  Text t("ab");
  t.set_justify(Justify::center);
  EXPECT_EQ(rows(t, 6), Rows{"  ab  "});
  t.set_justify(Justify::right);
  EXPECT_EQ(rows(t, 6), Rows{"    ab"});
}

TEST(TextAppend, ControlCharactersBecomeVisible) {
  Text t("a\x1b[31mb\x07");
  EXPECT_EQ(t.plain(), "a\u241B[31mb\u2407");
  Text bad(std::string_view("x\xff y", 4));
  EXPECT_EQ(bad.plain(), "x\uFFFD y");
}

// Printable ASCII is recognised several bytes at a time: one byte that needs cleaning must be
// seen wherever it falls in a long piece, including next to line feeds and at the word edges.
TEST(TextAppend, OneByteToCleanIsFoundAtEveryPosition) {
  for (const char* odd : {"\x01", "\x1f", "\x7f", "\x1b", "\xff", "\t"}) {
    for (std::size_t at = 0; at < 19; ++at) {
      std::string s(19, 'a');
      s[3] = '\n';
      s[at] = odd[0];
      const std::string expected = odd[0] == '\t' ? "" : unicode::visible_controls(s);
      const Text t(s);
      if (odd[0] == '\t') {
        EXPECT_EQ(t.plain().find('\t'), std::string::npos) << "at " << at;
      } else {
        EXPECT_EQ(t.plain(), expected)
            << "byte " << int(static_cast<unsigned char>(odd[0])) << " at " << at;
      }
      EXPECT_NE(t.plain(), s) << "byte " << int(static_cast<unsigned char>(odd[0])) << " at " << at;
    }
  }
}

TEST(TextRuns, OverlappingSpansCombineWithTheLaterWinning) {
  Text t("abcdef");
  t.stylize(Style::parse("bold red"), 0, 4);
  t.stylize(Style::parse("blue"), 2, 6);
  const std::vector<StyleRun> expected = {{0, 2, Style::parse("bold red")},
                                          {2, 4, Style::parse("bold blue")},
                                          {4, 6, Style::parse("blue")}};
  EXPECT_EQ(t.runs(), expected);
}

TEST(TextRuns, BaseStyleUnderEverySpan) {
  Text t("abcd");
  t.set_base_style(Style::parse("on black"));
  t.stylize(Style::parse("red"), 1, 2);
  const std::vector<StyleRun> expected = {{0, 1, Style::parse("on black")},
                                          {1, 2, Style::parse("red on black")},
                                          {2, 4, Style::parse("on black")}};
  EXPECT_EQ(t.runs(), expected);
}

TEST(TextAppend, AppendingATextKeepsItsStyles) {
  Text a("x", "red");
  Text b;
  b.append("y", "blue");
  b.set_base_style(Style::parse("bold"));
  a.append(b);
  EXPECT_EQ(a.plain(), "xy");
  const std::vector<StyleRun> expected = {{0, 1, Style::parse("red")},
                                          {1, 2, Style::parse("bold blue")}};
  EXPECT_EQ(a.runs(), expected);
}

}  // namespace
}  // namespace styled

namespace styled {
namespace {

TEST(TextAppend, TabStopsCountFromTheLineStartAcrossPieces) {
  Text t;
  t.append("ab");
  t.append("\tc", "red");
  t.append("日\t");
  t.append("\nx\ty");
  EXPECT_EQ(t.plain(), "ab      c日     \nx       y");
}

TEST(TextAppend, ManyTabbedPiecesOnOneLongLine) {
  Text t;
  for (int i = 0; i < 20000; ++i) t.append("x\t", i % 2 ? "bold" : "dim");
  EXPECT_EQ(t.plain().size(), 20000u * 8);
  EXPECT_EQ(t.plain().substr(0, 16), "x       x       ");
}

TEST(TextWrap, OneMegabyteLineWrapsIntoFullRows) {
  std::string s;
  for (int i = 0; i < 200000; ++i) s += "word ";
  const Lines lines = Text(s).wrap(92);
  // 18 words of 5 cells fit a row of 92 (the last one without its space).
  EXPECT_EQ(lines.size(), (200000u + 17) / 18);
  EXPECT_EQ(lines[0].text().size(), 18u * 5 - 1);
  const Text one = Text::from_ansi("\x1b[1m" + s + "\x1b[0m");
  EXPECT_EQ(one.plain(), s);
  EXPECT_EQ(one.spans().size(), 1u);
}

TEST(TextClear, LeavesNothingOfTheOldTextButItsMemory) {
  // A cleared Text is reused for the next paragraph: no style, option or tab column of the
  // old one may leak into it.
  Text t("a\tb", "bold");
  t.append(" more", "red").set_base_style(Style::parse("on blue"));
  t.set_justify(Justify::center).set_no_wrap(true).set_overflow(Overflow::ellipsis);
  t.clear();
  EXPECT_TRUE(t.empty());
  EXPECT_TRUE(t.spans().empty());
  EXPECT_TRUE(t.base_style().is_null());
  EXPECT_EQ(t.justify(), Justify::left);
  EXPECT_FALSE(t.no_wrap());
  t.append("x\ty");
  EXPECT_EQ(t.plain(), "x       y");
  const Lines rows = t.wrap(4);
  ASSERT_EQ(rows.size(), 2u);  // wraps again: no_wrap was reset
  EXPECT_EQ(rows[1].text(), "y");
  EXPECT_EQ(rows[0].segments[0].style, Style());
}

TEST(TextWrap, ALetterRunEndsExactlyAtTheFirstOtherByteWhereverItFalls) {
  // Runs of ASCII letters are measured several bytes at a time: a wide character, an accent or
  // a space at any offset must still be measured as itself.
  for (const std::string other : {"日", "e\u0301", " ", "é"}) {
    for (std::size_t k = 0; k < 20; ++k) {
      const std::string text = std::string(k, 'a') + other + std::string(19 - k, 'b');
      for (int width : {3, 8, 9, 16, 40}) {
        std::string joined;
        for (const Line& row : Text(text).wrap(width)) {
          EXPECT_EQ(row.cells, unicode::str_width(row.text())) << text << " @" << width;
          EXPECT_LE(row.cells, static_cast<std::size_t>(width)) << text << " @" << width;
          joined += row.text();
        }
        // Nothing but a space at a break is ever dropped.
        if (other != " ") {
          EXPECT_EQ(joined, text) << width;
        }
      }
    }
  }
}

}  // namespace
}  // namespace styled
