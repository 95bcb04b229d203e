#include "unicode/width.h"

#include <gtest/gtest.h>

namespace {

// Sets the process-wide width mode for one test and puts the default back.
class WidthModeScope {
 public:
  explicit WidthModeScope(unicode::WidthMode mode) { unicode::set_width_mode(mode); }
  ~WidthModeScope() { unicode::set_width_mode(unicode::WidthMode::code_points); }
};

struct WidthCase {
  const char* name;
  std::string text;
  std::size_t per_code_point;  // cells in a terminal that draws each code point
  std::size_t clustered;       // cells in one that clusters graphemes (mode 2027)
  bool disagree;               // whether terminals draw it at different widths
};

class StrWidth : public testing::TestWithParam<WidthCase> {};

TEST_P(StrWidth, CountsTheCellsTheTerminalDraws) {
  const auto& c = GetParam();
  EXPECT_EQ(unicode::str_width(c.text), c.per_code_point);  // the default
  EXPECT_EQ(unicode::widths_disagree(c.text), c.disagree);
  const WidthModeScope graphemes(unicode::WidthMode::graphemes);
  EXPECT_EQ(unicode::str_width(c.text), c.clustered);
}

INSTANTIATE_TEST_SUITE_P(Table, StrWidth,
                         testing::Values(WidthCase{"ascii", "hello", 5, 5, false},
                                         WidthCase{"empty", "", 0, 0, false},
                                         WidthCase{"cjk", "中文", 4, 4, false},
                                         WidthCase{"combining_acute", "e\u0301", 1, 1, false},
                                         WidthCase{"emoji", "😀", 2, 2, false},
                                         WidthCase{"skin_tone", "👍🏽", 4, 2, true},
                                         WidthCase{"zwj_family", "👨\u200D👩", 4, 2, true},
                                         WidthCase{"heart_with_vs16", "❤\uFE0F", 1, 2, true},
                                         WidthCase{"flag_pair", "🇫🇷", 2, 2, true},
                                         WidthCase{"devanagari_spacing_mark", "कि", 2, 1, true},
                                         WidthCase{"devanagari_conjunct", "क्षि", 3, 2, true},
                                         WidthCase{"hangul_jamo", "\u1100\u1161\u11A8", 2, 2, true},
                                         WidthCase{"fullwidth_a", "Ａ", 2, 2, false},
                                         WidthCase{"invalid_byte_is_one_cell", "\xFF", 1, 1, false},
                                         WidthCase{"box_drawing", "─│", 2, 2, false}),
                         [](const auto& info) { return std::string(info.param.name); });

// A skin-toned emoji drawn per code point is two units, so nothing is ever wider than 2 cells.
TEST(GraphemeAt, SplitsAClusterWhereTheTerminalDrawsEachCodePoint) {
  const std::string s = "👍🏽\u200Dx";
  EXPECT_EQ(unicode::grapheme_at(s, 0).len, 4u);
  const auto modifier = unicode::grapheme_at(s, 4);
  EXPECT_EQ(modifier.len, 7u);  // with the joiner after it
  EXPECT_EQ(modifier.width, 2);
  const WidthModeScope graphemes(unicode::WidthMode::graphemes);
  EXPECT_EQ(unicode::grapheme_at(s, 0).len, 11u);
}

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
