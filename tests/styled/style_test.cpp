#include "styled/style.h"

#include <gtest/gtest.h>

#include <vector>

namespace styled {
namespace {

struct ParseCase {
  const char* text;
  Style expected;
};

constexpr Color RGB(std::uint8_t r, std::uint8_t g, std::uint8_t b) {
  return Color::rgb(r, g, b);
}

class StyleParse : public ::testing::TestWithParam<ParseCase> {};

TEST_P(StyleParse, ParsesToTheExpectedStyle) {
  EXPECT_EQ(Style::parse(GetParam().text), GetParam().expected) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Words, StyleParse,
    ::testing::Values(
        ParseCase{"", Style()}, ParseCase{"none", Style()},
        ParseCase{"bold #5f87ff", Style().with(Attr::bold).with_fg(RGB(0x5f, 0x87, 0xff))},
        ParseCase{"dim italic cyan",
                  Style().with(Attr::dim).with(Attr::italic).with_fg(Color::standard(6))},
        ParseCase{"#d72b6b on #2a2a2a",
                  Style().with_fg(RGB(0xd7, 0x2b, 0x6b)).with_bg(RGB(0x2a, 0x2a, 0x2a))},
        ParseCase{"dim #32cd32", Style().with(Attr::dim).with_fg(RGB(0x32, 0xcd, 0x32))},
        ParseCase{"bold cyan on black",
                  Style().with(Attr::bold).with_fg(Color::standard(6)).with_bg(Color::standard(0))},
        ParseCase{"bright_blue", Style().with_fg(Color::standard(12))},
        ParseCase{"bright_black", Style().with_fg(Color::standard(8))},
        ParseCase{"not bold", Style().with(Attr::bold, false)},
        ParseCase{
            "underline strike reverse blink",
            Style().with(Attr::underline).with(Attr::strike).with(Attr::reverse).with(Attr::blink)},
        ParseCase{"color(200)", Style().with_fg(Color::palette(200))},
        ParseCase{"color(3)", Style().with_fg(Color::standard(3))},
        ParseCase{"rgb(1,2,3)", Style().with_fg(RGB(1, 2, 3))},
        ParseCase{"rgb(10, 20, 30) on rgb(1,1,1)",
                  Style().with_fg(RGB(10, 20, 30)).with_bg(RGB(1, 1, 1))},
        ParseCase{"default on default",
                  Style().with_fg(Color::default_color()).with_bg(Color::default_color())},
        ParseCase{"  red   bold  ", Style().with(Attr::bold).with_fg(Color::standard(1))},
        ParseCase{"#FFAA00", Style().with_fg(RGB(255, 0xaa, 0))}));

class StyleRejects : public ::testing::TestWithParam<const char*> {};

TEST_P(StyleRejects, UnknownWordsAreErrors) {
  EXPECT_FALSE(Style::try_parse(GetParam()).has_value()) << GetParam();
  EXPECT_THROW((void)Style::parse(GetParam()), std::invalid_argument) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(Words, StyleRejects,
                         ::testing::Values("bolder", "on", "bold on", "not", "not red", "#12345",
                                           "#1234567", "#gg0000", "color(256)", "color()",
                                           "rgb(1,2)", "rgb(1,2,3,4)", "rgb(300,0,0)", "bright_",
                                           "1.", "on on red"));

struct CombineCase {
  const char* left;
  const char* right;
  const char* expected;
};

class StyleCombine : public ::testing::TestWithParam<CombineCase> {};

TEST_P(StyleCombine, RightHandWinsAttributeByAttribute) {
  const auto& c = GetParam();
  EXPECT_EQ((Style::parse(c.left) + Style::parse(c.right)).normalized(),
            Style::parse(c.expected).normalized())
      << c.left << " + " << c.right;
}

INSTANTIATE_TEST_SUITE_P(
    Pairs, StyleCombine,
    ::testing::Values(CombineCase{"bold red", "green", "bold green"},
                      CombineCase{"bold red", "not bold", "red"},
                      CombineCase{"dim italic", "bold", "dim italic bold"},
                      CombineCase{"on #272822", "#f8f8f2", "#f8f8f2 on #272822"},
                      CombineCase{"#f8f8f2 on #272822", "on #264f78", "#f8f8f2 on #264f78"},
                      CombineCase{"underline", "", "underline"},
                      CombineCase{"", "strike", "strike"},
                      CombineCase{"red", "default", "default"}));

TEST(StyleCombine, UnsetOnTheRightKeepsTheLeftValue) {
  const Style left = Style::parse("not bold");
  const Style sum = left + Style::parse("red");
  EXPECT_TRUE(sum.is_set(Attr::bold));
  EXPECT_FALSE(sum.has(Attr::bold));
}

TEST(StyleToString, RoundTripsThroughParse) {
  for (const char* s : {"bold #5f87ff", "not bold dim red on bright_white", "color(100)",
                        "italic on #010203", "none"}) {
    const Style st = Style::parse(s);
    EXPECT_EQ(Style::parse(st.to_string()), st) << s;
  }
}

// Every style string the transcript, the tool log and the mode picker write with.
TEST(StyleStrings, EveryStyleUsedByTheProductParses) {
  const std::vector<const char*> used = {"bold #5f87ff",
                                         "bold white",
                                         "dim yellow",
                                         "dim italic",
                                         "dim",
                                         "bold red",
                                         "red",
                                         "cyan",
                                         "dim cyan",
                                         "#32cd32",
                                         "bold #32cd32",
                                         "dim #32cd32",
                                         "dim #5f87ff",
                                         "dim italic cyan",
                                         "dim red",
                                         "bold yellow",
                                         "#d72b6b on #2a2a2a",
                                         "#264f78",
                                         "on #264f78",
                                         "bold",
                                         "italic",
                                         "bold underline",
                                         "bold dim",
                                         "underline",
                                         "magenta",
                                         "yellow",
                                         "bright_blue",
                                         "underline blue",
                                         "strike",
                                         "bold cyan on black",
                                         "cyan on black"};
  for (const char* s : used) EXPECT_TRUE(Style::try_parse(s).has_value()) << s;
}

}  // namespace
}  // namespace styled
