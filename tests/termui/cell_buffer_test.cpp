#include "termui/cell_buffer.h"

#include <gtest/gtest.h>

namespace termui {
namespace {

using styled::Style;

struct PutCase {
  const char* name;
  std::vector<std::pair<int, std::string>> writes;  // column, text (row 0, width 6)
  std::string row;                                  // row text afterwards
  std::vector<int> widths;
};

class PutText : public ::testing::TestWithParam<PutCase> {};

TEST_P(PutText, leaves_expected_row) {
  CellBuffer b({6, 1});
  for (const auto& [x, text] : GetParam().writes) b.put_text(x, 0, text, Style(), 6);
  EXPECT_EQ(b.row_text(0), GetParam().row);
  std::vector<int> widths;
  for (int x = 0; x < 6; ++x) widths.push_back(b.at(x, 0).width);
  EXPECT_EQ(widths, GetParam().widths);
}

const PutCase PUT_CASES[] = {
    {"ascii", {{0, "abc"}}, "abc   ", {1, 1, 1, 1, 1, 1}},
    {"wide_takes_two_cells", {{1, "中"}}, " 中   ", {1, 2, 0, 1, 1, 1}},
    {"wide_at_edge_becomes_space", {{5, "中"}}, "      ", {1, 1, 1, 1, 1, 1}},
    {"overwriting_first_half_clears_trailing", {{0, "中"}, {0, "a"}}, "a     ", {1, 1, 1, 1, 1, 1}},
    {"overwriting_trailing_half_clears_first", {{0, "中"}, {1, "b"}}, " b    ", {1, 1, 1, 1, 1, 1}},
    {"wide_over_wide_offset", {{0, "中"}, {1, "文"}}, " 文   ", {1, 2, 0, 1, 1, 1}},
    {"control_shown_visibly", {{0, "a\x1b[31mb"}}, "a␛[31m", {1, 1, 1, 1, 1, 1}},
    {"bell_and_del_visible", {{0, "\x07\x7f"}}, "␇␡    ", {1, 1, 1, 1, 1, 1}},
    {"tab_and_newline_are_spaces", {{0, "a\tb\nc"}}, "a b c ", {1, 1, 1, 1, 1, 1}},
    {"c1_control_replaced",
     {{0,
       "\xc2\x9b"
       "2J"}},
     "\xEF\xBF\xBD"
     "2J   ",
     {1, 1, 1, 1, 1, 1}},
    {"invalid_utf8_replaced", {{0, "\xff"}}, "\xEF\xBF\xBD     ", {1, 1, 1, 1, 1, 1}},
    {"combining_mark_joins_its_base", {{0, "e\u0301x"}}, "e\u0301x    ", {1, 1, 1, 1, 1, 1}},
    {"lone_combining_mark_dropped", {{0, "\u0301ab"}}, "ab    ", {1, 1, 1, 1, 1, 1}},
    {"clipped_at_width", {{4, "abcdef"}}, "    ab", {1, 1, 1, 1, 1, 1}},
    {"starting_left_of_screen", {{-2, "abcd"}}, "cd    ", {1, 1, 1, 1, 1, 1}},
    {"wide_cut_by_left_edge_blanks", {{-1, "中b"}}, " b    ", {1, 1, 1, 1, 1, 1}},
};

INSTANTIATE_TEST_SUITE_P(Cells, PutText, ::testing::ValuesIn(PUT_CASES),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(CellBuffer, fill_cutting_a_wide_glyph_blanks_both_halves) {
  CellBuffer b({4, 1});
  b.put_text(0, 0, "中中", Style(), 4);
  b.fill({1, 0, 2, 1}, Style::parse("on blue"));
  EXPECT_EQ(b.row_text(0), "    ");
  EXPECT_EQ(b.at(3, 0).width, 1);
}

// Writes to a buffer without cells are clipped away (the sanitizer build catches any that
// reaches memory), and the buffer stays as it was.
TEST(CellBuffer, buffers_without_cells_clip_every_write) {
  for (const Size size : {Size{0, 0}, Size{0, 3}, Size{3, 0}}) {
    CellBuffer b(size);
    EXPECT_EQ(b.put_text(1, 0, "abc", Style(), 10), 1);  // nothing written: where it began
    b.fill({0, 0, 5, 5}, Style::parse("on red"));
    b.put_cell(0, 0, "x", Style());
    b.scroll_up(1);
    EXPECT_EQ(b.size(), size);
    for (int y = 0; y < size.height; ++y) EXPECT_EQ(b.row_text(y), "");
  }
}

TEST(CellBuffer, styles_are_normalized_so_equal_looks_compare_equal) {
  CellBuffer a({2, 1}), b({2, 1});
  a.put_text(0, 0, "x", Style::parse("not bold default"), 2);
  b.put_text(0, 0, "x", Style(), 2);
  EXPECT_EQ(a.at(0, 0), b.at(0, 0));
}

}  // namespace
}  // namespace termui
