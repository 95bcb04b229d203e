#include "unicode/width.h"

#include <gtest/gtest.h>

namespace {

struct WidthCase {
  const char* name;
  std::string text;
  std::size_t cells;
};

class StrWidth : public testing::TestWithParam<WidthCase> {};

TEST_P(StrWidth, CountsTerminalCells) {
  EXPECT_EQ(unicode::str_width(GetParam().text), GetParam().cells);
}

INSTANTIATE_TEST_SUITE_P(
    Table, StrWidth,
    testing::Values(WidthCase{"ascii", "hello", 5}, WidthCase{"empty", "", 0},
                    WidthCase{"cjk", "\xE4\xB8\xAD\xE6\x96\x87", 4},
                    WidthCase{"combining_acute", "e\xCC\x81", 1},
                    WidthCase{"emoji", "\xF0\x9F\x98\x80", 2},
                    WidthCase{"zwj_family", "\xF0\x9F\x91\xA8\xE2\x80\x8D\xF0\x9F\x91\xA9", 2},
                    WidthCase{"heart_with_vs16", "\xE2\x9D\xA4\xEF\xB8\x8F", 2},
                    WidthCase{"flag_pair", "\xF0\x9F\x87\xAB\xF0\x9F\x87\xB7", 2},
                    WidthCase{"fullwidth_a", "\xEF\xBC\xA1", 2},
                    WidthCase{"invalid_byte_is_one_cell", "\xFF", 1},
                    WidthCase{"box_drawing", "\xE2\x94\x80\xE2\x94\x82", 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(GraphemeAt, KeepsCombiningMarksWithTheirBase) {
  const std::string s = "e\xCC\x81x";
  const auto g = unicode::grapheme_at(s, 0);
  EXPECT_EQ(g.len, 3u);
  EXPECT_EQ(g.width, 1);
  EXPECT_EQ(unicode::grapheme_at(s, 3).len, 1u);
}

TEST(CpWidth, ControlsTakeNoCells) {
  EXPECT_EQ(unicode::cp_width(0x1B), 0);
  EXPECT_EQ(unicode::cp_width(0x9B), 0);
  EXPECT_EQ(unicode::cp_width(U'a'), 1);
  EXPECT_EQ(unicode::cp_width(0x4E2D), 2);
}

}  // namespace

namespace {

TEST(WidestPieceWidth, MeasuresTheWidestPieceBetweenBreaksInCells) {
  EXPECT_EQ(unicode::widest_piece_width("ab\n\xE4\xB8\xAD\xE6\x96\x87x\nc", "\n"), 5u);
  EXPECT_EQ(unicode::widest_piece_width("one three\nfour", " \n"), 5u);
  EXPECT_EQ(unicode::widest_piece_width("", "\n"), 0u);
  EXPECT_EQ(unicode::widest_piece_width("\n\n", "\n"), 0u);
}

}  // namespace
