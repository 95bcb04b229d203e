#include "styled/markdown/markdown.h"

#include <gtest/gtest.h>

#include <string>

#include "styled/link.h"
#include "styled/render_helpers.h"
#include "unicode/width.h"

namespace styled {
namespace {

using testing::starts_with;
using testing::style_at;
using testing::style_of;
using testing::texts;

constexpr int W = 40;

Lines render(std::string_view md, int width = W, const Console& console = Console()) {
  return console.render_lines(Markdown(md), width);
}

std::string rtrim(std::string s) {
  while (!s.empty() && s.back() == ' ') s.pop_back();
  return s;
}

std::vector<std::string> trimmed(const Lines& lines) {
  std::vector<std::string> out;
  for (const auto& t : texts(lines)) out.push_back(rtrim(t));
  return out;
}

TEST(MarkdownLayout, EveryRowIsPaddedToTheFullWidth) {
  const Lines lines = render("# T\n\npara *x*\n\n- a\n  - b\n\n> q\n\n```py\nx=1\n```\n\n---\n");
  ASSERT_FALSE(lines.empty());
  for (const Line& l : lines) {
    EXPECT_EQ(l.cells, static_cast<std::size_t>(W)) << l.text();
    EXPECT_EQ(unicode::str_width(l.text()), static_cast<std::size_t>(W)) << l.text();
  }
}

TEST(MarkdownHeading, H1IsABoldCentredTitleInAHeavyBoxAsWideAsTheWidth) {
  const Lines lines = render("# Title");
  ASSERT_EQ(lines.size(), 3u);
  const auto t = texts(lines);
  EXPECT_TRUE(starts_with(t[0], "┏━")) << t[0];
  EXPECT_EQ(t[0].substr(t[0].size() - 3), "┓");
  EXPECT_TRUE(starts_with(t[2], "┗━"));
  // 40 cells, box of 2 on each side: "Title" centred in 36.
  EXPECT_EQ(t[1], "┃ " + std::string(15, ' ') + "Title" + std::string(16, ' ') + " ┃");
  EXPECT_TRUE(style_of(lines[1], "Title")->has(Attr::bold));
}

TEST(MarkdownHeading, H2FollowsABlankLineCentredBoldUnderlined) {
  const Lines lines = render("para\n\n## Sub");
  const auto t = trimmed(lines);
  ASSERT_EQ(t.size(), 4u);
  EXPECT_EQ(t[0], "para");
  EXPECT_EQ(t[1], "");
  EXPECT_EQ(t[2], "");
  EXPECT_EQ(t[3], std::string(18, ' ') + "Sub");
  const Style s = *style_of(lines[3], "Sub");
  EXPECT_TRUE(s.has(Attr::bold));
  EXPECT_TRUE(s.has(Attr::underline));
  // The centring spaces are not underlined.
  EXPECT_FALSE(style_at(lines[3], 0)->has(Attr::underline));
}

struct HeadingStyleCase {
  const char* md;
  const char* style;
};

class MarkdownHeadingStyles : public ::testing::TestWithParam<HeadingStyleCase> {};

TEST_P(MarkdownHeadingStyles, LowerHeadingsUseTheirThemeStyles) {
  const Lines lines = render(GetParam().md);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(style_of(lines.back(), "H")->normalized(), Style::parse(GetParam().style));
}

INSTANTIATE_TEST_SUITE_P(Levels, MarkdownHeadingStyles,
                         ::testing::Values(HeadingStyleCase{"### H", "bold"},
                                           HeadingStyleCase{"#### H", "bold dim"},
                                           HeadingStyleCase{"##### H", "underline"},
                                           HeadingStyleCase{"###### H", "italic"}));

TEST(MarkdownLists, BulletsNestByThreeCells) {
  const auto t = trimmed(render("- one\n- two\n  - inner\n    - deeper\n- three"));
  const std::vector<std::string> expected = {" • one", " • two", "    • inner", "       • deeper",
                                             " • three"};
  EXPECT_EQ(t, expected);
}

TEST(MarkdownLists, WrappedItemTextLinesUpUnderTheFirstWord) {
  const auto t = trimmed(render("- aaaa bbbb cccc dddd eeee ffff gggg hhhh iiii"));
  ASSERT_EQ(t.size(), 2u);
  EXPECT_EQ(t[0], " • aaaa bbbb cccc dddd eeee ffff gggg");
  EXPECT_EQ(t[1], "   hhhh iiii");
}

TEST(MarkdownLists, BulletsTakeTheBulletStyle) {
  const Lines lines = render("- x");
  EXPECT_EQ(style_at(lines[0], 1)->normalized(), Style::parse("bold yellow"));
  EXPECT_EQ(style_at(lines[0], 3)->normalized(), Style());
}

TEST(MarkdownLists, OrderedNumbersAreRightAligned) {
  std::string md;
  for (int i = 1; i <= 10; ++i) md += std::to_string(i) + ". item\n";
  const auto t = trimmed(render(md));
  ASSERT_EQ(t.size(), 10u);
  EXPECT_EQ(t[0], " 1. item");
  EXPECT_EQ(t[8], " 9. item");
  EXPECT_EQ(t[9], "10. item");
}

TEST(MarkdownLists, OrderedListKeepsItsStartNumber) {
  const auto t = trimmed(render("3. c\n4. d"));
  EXPECT_EQ(t, (std::vector<std::string>{"3. c", "4. d"}));
}

TEST(MarkdownLists, TaskItemsShowTheirBoxes) {
  const auto t = trimmed(render("- [x] done\n- [ ] open"));
  EXPECT_EQ(t, (std::vector<std::string>{" • ☑ done", " • ☐ open"}));
}

TEST(MarkdownLists, LooseListsSeparateItemsByABlankLine) {
  const auto t = trimmed(render("- a\n\n- b"));
  EXPECT_EQ(t, (std::vector<std::string>{" • a", "", " • b"}));
}

TEST(MarkdownQuote, QuotedRowsArePrefixedInTheQuoteStyle) {
  const Lines lines = render("> quoted text\n> > nested");
  const auto t = trimmed(lines);
  ASSERT_EQ(t.size(), 3u);
  EXPECT_EQ(t[0], "▌ quoted text");
  EXPECT_EQ(t[1], "▌");
  EXPECT_EQ(t[2], "▌ ▌ nested");
  EXPECT_EQ(style_at(lines[0], 0)->normalized(), Style::parse("magenta"));
  EXPECT_EQ(style_of(lines[0], "quoted")->fg(), Color::standard(5));
}

TEST(MarkdownCode, BlockHasThemeBackgroundWithPaddingAllRound) {
  const Lines lines = render("```python\nx = 1\n```");
  ASSERT_EQ(lines.size(), 3u);
  const auto t = texts(lines);
  EXPECT_EQ(t[0], std::string(W, ' '));
  EXPECT_EQ(rtrim(t[1]), " x = 1");
  EXPECT_EQ(t[2], std::string(W, ' '));
  const Color bg = Color::rgb(0x27, 0x28, 0x22);
  for (const Line& l : lines) {
    for (std::size_t col : {0u, 1u, 20u, 39u}) EXPECT_EQ(style_at(l, col)->bg(), bg) << col;
  }
  EXPECT_EQ(style_of(lines[1], "1")->fg(), Color::rgb(0xae, 0x81, 0xff));
}

TEST(MarkdownCode, IndentedAndUnknownLanguageCodeIsPlainOnTheBackground) {
  for (const char* md : {"    plain code", "```nosuchlang\nplain code\n```"}) {
    const Lines lines = render(md);
    ASSERT_EQ(lines.size(), 3u) << md;
    EXPECT_EQ(rtrim(lines[1].text()), " plain code");
    EXPECT_EQ(style_of(lines[1], "plain")->normalized(), Style::parse("#f8f8f2 on #272822"));
  }
}

TEST(MarkdownCode, LongCodeLinesWrapInsideThePadding) {
  const Lines lines = render("```\n" + std::string(50, 'x') + "\n```");
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[1].text(), " xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx ");
  EXPECT_EQ(rtrim(lines[2].text()), " xxxxxxxxxxxx");
}

TEST(MarkdownInline, InlineStylesResolveThroughTheTheme) {
  const Lines lines = render("*em* **strong** ~~gone~~ `code`");
  EXPECT_EQ(style_of(lines[0], "em")->normalized(), Style::parse("italic"));
  EXPECT_EQ(style_of(lines[0], "strong")->normalized(), Style::parse("bold"));
  EXPECT_EQ(style_of(lines[0], "gone")->normalized(), Style::parse("strike"));
  EXPECT_EQ(style_of(lines[0], "code")->normalized(), Style::parse("bold cyan on black"));
}

TEST(MarkdownInline, PushedThemeChangesInlineCode) {
  Console console;
  console.push_theme(Theme{{"markdown.code", "#d72b6b on #2a2a2a"}});
  const Lines lines = render("a `b` c", W, console);
  EXPECT_EQ(style_of(lines[0], "b")->normalized(), Style::parse("#d72b6b on #2a2a2a"));
}

struct LinkCase {
  const char* md;
  const char* shown;
};

class MarkdownLinks : public ::testing::TestWithParam<LinkCase> {};

TEST_P(MarkdownLinks, UrlFollowsTheTextWhenItDiffers) {
  EXPECT_EQ(rtrim(render(GetParam().md, 80)[0].text()), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, MarkdownLinks,
    ::testing::Values(LinkCase{"[docs](https://x.org/d)", "docs (https://x.org/d)"},
                      LinkCase{"<https://x.org>", "https://x.org"},
                      LinkCase{"see https://x.org/a now", "see https://x.org/a now"},
                      LinkCase{"<me@x.org>", "me@x.org"},
                      LinkCase{"![alt text](pic.png)", "🌆 alt text (pic.png)"}));

TEST(MarkdownLinks, LinkTextAndUrlTakeTheirStyles) {
  const Lines lines = render("[docs](https://x.org/d)", 80);
  const auto link = link_id("https://x.org/d");
  EXPECT_EQ(style_of(lines[0], "docs")->normalized(), Style::parse("bright_blue").with_link(link));
  EXPECT_EQ(style_of(lines[0], "https")->normalized(),
            Style::parse("underline blue").with_link(link));
}

TEST(MarkdownBreaks, SoftBreakIsASpaceHardBreakANewRow) {
  EXPECT_EQ(trimmed(render("one\ntwo")), (std::vector<std::string>{"one two"}));
  EXPECT_EQ(trimmed(render("one  \ntwo")), (std::vector<std::string>{"one", "two"}));
}

TEST(MarkdownRule, HorizontalRuleSpansTheWidth) {
  const Lines lines = render("---");
  ASSERT_EQ(lines.size(), 1u);
  std::string rule;
  for (int i = 0; i < W; ++i) rule += "─";
  EXPECT_EQ(lines[0].text(), rule);
  EXPECT_EQ(style_at(lines[0], 0)->normalized(), Style::parse("yellow"));
}

TEST(MarkdownHtml, HtmlIsShownAsText) {
  EXPECT_EQ(trimmed(render("<div>hi</div>")), (std::vector<std::string>{"<div>hi</div>"}));
  EXPECT_EQ(trimmed(render("a <b>c</b>")), (std::vector<std::string>{"a <b>c</b>"}));
}

TEST(MarkdownTable, DrawsBordersWithABoldHeader) {
  const Lines lines = render("| a | bb |\n|---|---:|\n| 1 | 2 |\n| 333 | 4 |");
  const auto t = trimmed(lines);
  const std::vector<std::string> expected = {"┏━━━━━┳━━━━┓", "┃ a   ┃ bb ┃", "┡━━━━━╇━━━━┩",
                                             "│ 1   │  2 │", "│ 333 │  4 │", "└─────┴────┘"};
  EXPECT_EQ(t, expected);
  EXPECT_TRUE(style_of(lines[1], "a")->has(Attr::bold));
  EXPECT_FALSE(style_of(lines[3], "1")->has(Attr::bold));
}

TEST(MarkdownTable, WideColumnsShareTheWidthAndWrap) {
  const std::string cell(60, 'w');
  const Lines lines = render("| x | y |\n|---|---|\n| " + cell + " | short words here |");
  for (const Line& l : lines) EXPECT_LE(unicode::str_width(rtrim(l.text())), std::size_t{W});
  EXPECT_GT(lines.size(), 6u);  // the long cell wrapped onto several rows
}

TEST(MarkdownBadInput, FiveHundredColumnsStayWithinTheWidth) {
  std::string header = "|", sep = "|", row = "|";
  for (int i = 0; i < 500; ++i) {
    const std::string n = std::to_string(i);
    header.append(" h").append(n).append(" |");
    sep += "---|";
    row.append(" ").append(n).append(" |");
  }
  const Lines lines = render(header + "\n" + sep + "\n" + row + "\n");
  ASSERT_GE(lines.size(), 5u);
  for (const Line& l : lines) EXPECT_EQ(l.cells, std::size_t{W});
  EXPECT_TRUE(starts_with(lines[0].text(), "┏"));
}

TEST(MarkdownBadInput, TenThousandNestedQuotesRenderWithoutRecursion) {
  const std::string md = std::string(10000, '>') + " deep";
  const Lines lines = render(md, 92);
  ASSERT_FALSE(lines.empty());
  EXPECT_NE(lines.back().text().find("deep"), std::string::npos);
  for (const Line& l : lines) EXPECT_EQ(l.cells, 92u);
}

TEST(MarkdownBadInput, TenThousandNestedListLevelsRender) {
  std::string md;
  for (int i = 0; i < 10000; ++i) md += "- ";
  md += "deep";
  const Lines lines = render(md, 92);
  ASSERT_FALSE(lines.empty());
  for (const Line& l : lines) EXPECT_EQ(l.cells, 92u);
}

TEST(MarkdownBadInput, ControlBytesAndInvalidUtf8NeverReachTheOutput) {
  std::string out;
  Console console({.width = 40, .force_terminal = true, .file = &out});
  console.print(Markdown(std::string("a\x1b]52;c;eA==\x07 b \xff\xfe `\x1b[2J` \x01\x7f\n") +
                         "```\n\x1b"
                         "c\n```\n"));
  for (std::size_t i = 0; i < out.size(); ++i) {
    const auto c = static_cast<unsigned char>(out[i]);
    if (c == 0x1b) {
      ASSERT_EQ(out[i + 1], '[');
      std::size_t j = i + 2;
      while (j < out.size() && ((out[j] >= '0' && out[j] <= '9') || out[j] == ';')) ++j;
      ASSERT_EQ(out[j], 'm') << "only SGR sequences are ours";
      continue;
    }
    EXPECT_TRUE(c >= 0x20 || c == '\n') << int(c);
    EXPECT_NE(c, 0x7f);
  }
}

TEST(MarkdownPrint, ConsolePrintEndsEveryRowWithALineFeed) {
  Console console({.width = 10});
  console.print(Markdown("hi"));
  EXPECT_EQ(console.output(), "hi        \n");
}

}  // namespace
}  // namespace styled
