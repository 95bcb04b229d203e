#include "termui/strip.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace termui {
namespace {

using styled::Color;
using styled::Segment;
using styled::Style;

std::vector<Segment> three_segments(const Style& middle) {
  return {{"  ", Style()}, {"* héllo", middle}, {" 世界", Style::parse("dim")}};
}

// A row reads back as it was given, whichever way it is read; empty segments draw nothing and
// are not kept.
TEST(Strip, reads_back_its_segments_text_cells_and_compares_by_content) {
  const Style bold = Style::parse("bold #5f87ff");
  std::vector<Segment> given = three_segments(bold);
  given.insert(given.begin() + 1, Segment{"", Style::parse("red")});
  const Strip strip(given);
  EXPECT_EQ(strip.text(), "  * héllo 世界");
  EXPECT_EQ(strip.cell_length(), 14);
  EXPECT_EQ(strip.segments(), three_segments(bold));
  std::vector<std::pair<std::string, Style>> visited;
  strip.for_each_segment(
      [&](std::string_view text, const Style& style) { visited.emplace_back(text, style); });
  ASSERT_EQ(visited.size(), 3u);
  EXPECT_EQ(visited[1], std::make_pair(std::string("* héllo"), bold));

  EXPECT_EQ(strip, Strip(three_segments(bold)));
  EXPECT_FALSE(strip == Strip(three_segments(Style::parse("italic"))));
  EXPECT_EQ(Strip(std::vector<Segment>{{"", bold}}), Strip());
  const Strip copy = strip;  // shares the row
  EXPECT_EQ(copy.text(), strip.text());
}

// More distinct styles than the shared table numbers (65,535): rows made after it is full keep
// their styles whole and still read back and compare right.
TEST(Strip, keeps_every_style_when_the_style_table_is_full) {
  std::vector<Strip> rows;
  for (int i = 0; i < 70'000; ++i) {
    const Style s = Style().with_fg(Color::rgb(static_cast<std::uint8_t>(i & 0xff),
                                               static_cast<std::uint8_t>((i >> 8) & 0xff), 7));
    rows.emplace_back(std::vector<Segment>{{"a", Style()}, {std::to_string(i), s}});
  }
  for (int i : {0, 65'000, 69'999}) {
    const Style s = Style().with_fg(Color::rgb(static_cast<std::uint8_t>(i & 0xff),
                                               static_cast<std::uint8_t>((i >> 8) & 0xff), 7));
    const std::vector<Segment> expected{{"a", Style()}, {std::to_string(i), s}};
    EXPECT_EQ(rows[static_cast<std::size_t>(i)].segments(), expected) << i;
    EXPECT_EQ(rows[static_cast<std::size_t>(i)], Strip(expected)) << i;
  }
}

TEST(Strip, crop_and_pad_work_on_a_copy) {
  const Strip strip(three_segments(Style::parse("bold")));
  EXPECT_EQ(strip.crop(4).text(), "  * ");
  EXPECT_EQ(strip.pad(16).text(), "  * héllo 世界  ");
  EXPECT_EQ(strip.text(), "  * héllo 世界");
}

}  // namespace
}  // namespace termui
