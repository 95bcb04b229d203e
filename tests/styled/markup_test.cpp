#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "styled/text.h"
#include "render_helpers.h"

namespace styled {
namespace {

using styled::testing::S;

struct MarkupCase {
  const char* name;
  const char* markup;
  const char* plain;
  std::vector<StyleRun> runs;
};

class FromMarkup : public ::testing::TestWithParam<MarkupCase> {};

TEST_P(FromMarkup, ReadsTagsAndKeepsEverythingElseLiteral) {
  const auto& c = GetParam();
  const Text t = Text::from_markup(c.markup);
  EXPECT_EQ(t.plain(), c.plain);
  EXPECT_EQ(t.runs(), c.runs);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FromMarkup,
    ::testing::Values(
        MarkupCase{"no_tags", "plain", "plain", {{0, 5, Style()}}},
        MarkupCase{"bold_close_latest",
                   "[bold]1.[/] Fast",
                   "1. Fast",
                   {{0, 2, S("bold")}, {2, 7, Style()}}},
        MarkupCase{"nested",
                   "[bold]a[red]b[/]c[/]d",
                   "abcd",
                   {{0, 1, S("bold")}, {1, 2, S("bold red")}, {2, 3, S("bold")}, {3, 4, Style()}}},
        MarkupCase{"close_by_name",
                   "[bold]a[red]b[/bold]c[/]",
                   "abc",
                   {{0, 1, S("bold")}, {1, 2, S("bold red")}, {2, 3, S("red")}}},
        MarkupCase{
            "unclosed_runs_to_end", "[dim]Press 1 or 2", "Press 1 or 2", {{0, 12, S("dim")}}},
        MarkupCase{
            "not_a_style_is_literal", "[1] see [link]", "[1] see [link]", {{0, 14, Style()}}},
        MarkupCase{
            "close_nothing_open_is_literal", "a[/]b[/bold]", "a[/]b[/bold]", {{0, 12, Style()}}},
        MarkupCase{"escaped_bracket", "\\[bold]x", "[bold]x", {{0, 7, Style()}}},
        MarkupCase{"unfinished_bracket", "a [bold b", "a [bold b", {{0, 9, Style()}}},
        MarkupCase{
            "bracket_inside_bracket", "[[bold]x[/]", "[x", {{0, 1, Style()}, {1, 2, S("bold")}}},
        MarkupCase{"empty_brackets", "a[]b", "a[]b", {{0, 4, Style()}}},
        MarkupCase{"mode_picker_error",
                   "[bold red]Server not ready[/]\n\n[dim]Connection [refused][/]",
                   "Server not ready\n\nConnection [refused]",
                   {{0, 16, S("bold red")}, {16, 18, Style()}, {18, 38, S("dim")}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FromMarkup, DeepNestingStaysCorrect) {
  std::string m;
  for (int i = 0; i < 5000; ++i) m += "[bold]x";
  for (int i = 0; i < 5000; ++i) m += "[/]";
  m += "y";
  const Text t = Text::from_markup(m);
  EXPECT_EQ(t.plain(), std::string(5000, 'x') + "y");
  const std::vector<StyleRun> expected = {{0, 5000, S("bold")}, {5000, 5001, Style()}};
  EXPECT_EQ(t.runs(), expected);
}

}  // namespace
}  // namespace styled
