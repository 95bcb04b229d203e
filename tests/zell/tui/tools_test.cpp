// Tool headers, finished-call lines and results, drawn through the append operations.

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "item_rows.h"
#include "scrollback_fixture.h"
#include "styled/link.h"
#include "unicode/concat.h"

namespace zell::tui::widgets::testing {
namespace {

std::string lines_of(int n) {
  std::string s;
  for (int i = 1; i <= n; ++i) s += unicode::concat({"r", std::to_string(i), "\n"});
  return s;
}

const char* const BLUE = "bold #5f87ff";
const char* const GREEN = "bold #32cd32";
const char* const CONNECTOR = "dim #5f87ff";

// Result rows r1…r<shown>, the last behind "⎿".
std::vector<Row> result_rows(int shown) {
  std::vector<Row> rows;
  for (int i = 1; i <= shown; ++i) {
    rows.push_back({{i < shown ? "    │ " : "    ⎿ ", CONNECTOR},
                    {unicode::concat({"r", std::to_string(i)}), "dim"}});
  }
  return rows;
}

std::vector<Row> plus_fold(std::vector<Row> rows, const char* fold) {
  rows.push_back({{fold, "dim italic"}});
  return rows;
}

struct ToolCase {
  const char* name;
  std::function<void(Scrollback&)> act;
  std::vector<Row> rows;
};
void PrintTo(const ToolCase& c, std::ostream* os) {
  *os << c.name;
}

class ToolLines : public ::testing::TestWithParam<ToolCase> {};

TEST_P(ToolLines, draw_their_rows) {
  Transcript t;
  GetParam().act(t.log());
  expect_rows(t.log().lines(), 0, GetParam().rows);
}

const std::string A75(75, 'a');
const std::string E300 = std::string(200, 'e') + std::string(100, 'E');

INSTANTIATE_TEST_SUITE_P(
    Tools, ToolLines,
    ::testing::Values(
        ToolCase{"header",
                 [](Scrollback& l) { l.append_tool("bash", "ls -la"); },
                 {{{"  ● Bash", BLUE}, {"(ls -la)", "dim"}}}},
        ToolCase{"header_unknown_tool_no_args",
                 [](Scrollback& l) { l.append_tool("custom_tool", ""); },
                 {{{"  ● custom_tool", BLUE}}}},
        ToolCase{"header_blank_args",
                 [](Scrollback& l) { l.append_tool("read_file", "   "); },
                 {{{"  ● Read", BLUE}, {"()", "dim"}}}},
        ToolCase{"header_args_one_line",
                 [](Scrollback& l) { l.append_tool("grep", " echo a\necho b\n"); },
                 {{{"  ● Search", BLUE}, {"(echo a echo b)", "dim"}}}},
        ToolCase{"header_args_cut_at_60",
                 [](Scrollback& l) { l.append_tool("glob", A75); },
                 {{{"  ● Glob", BLUE}, {"(" + std::string(60, 'a') + ")", "dim"}}}},
        ToolCase{"header_controls_visible",
                 [](Scrollback& l) {
                   l.append_tool("x\x1b[2J",
                                 "\x9b"
                                 "1m");
                 },
                 {{{"  ● x␛[2J", BLUE},
                   {"(\xEF\xBF\xBD"
                    "1m)",
                    "dim"}}}},
        // What reorders a line is revealed everywhere, what hides itself in the arguments.
        ToolCase{"bidi_and_invisible_revealed",
                 [](Scrollback& l) {
                   l.append_tool("x\u202E", "rm\u2063 -rf\U000E0041");
                   l.append_tool_done("y", "", "ok\u2067");
                   l.append_tool_result("no\u202Dpe", true);
                   l.append_error("fail\u200F");
                 },
                 {{{"  ● x<U+202E>", BLUE}, {"(rm<U+2063> -rf<U+E0041>)", "dim"}},
                  {{"  ✓ y", GREEN}, {"  ok<U+2067>", "dim #32cd32"}},
                  {{"    ⎿ ", "dim"}, {"no<U+202D>pe", "bold red"}},
                  {{"  ✗ ", "bold red"}, {"fail<U+200F>", "red"}}}},
        ToolCase{"done",
                 [](Scrollback& l) {
                   l.append_tool_done("edit_file", "src/app.txt", "3 lines changed");
                 },
                 {{{"  ✓ Update", GREEN},
                   {"(src/app.txt)", "#32cd32"},
                   {"  3 lines changed", "dim #32cd32"}}}},
        ToolCase{"done_no_summary",
                 [](Scrollback& l) { l.append_tool_done("web_fetch", "u", ""); },
                 {{{"  ✓ WebFetch", GREEN}, {"(u)", "#32cd32"}}}},
        // 8 + 42 + 72 cells on one line that never wraps: cut at 95, ending in "…".
        ToolCase{"done_cut_at_the_width",
                 [](Scrollback& l) { l.append_tool_done("bash", A75, std::string(70, 's')); },
                 {{{"  ✓ Bash", GREEN},
                   {"(" + std::string(40, 'a') + ")", "#32cd32"},
                   {"  " + std::string(42, 's') + "…", "dim #32cd32"}}}},
        // A plain text: the 200 characters kept wrap at the write width (95).
        ToolCase{"error_first_200_wrapped",
                 [](Scrollback& l) { l.append_tool_result(E300, true); },
                 {{{"    ⎿", "dim"}},
                  {{std::string(95, 'e'), "bold red"}},
                  {{std::string(95, 'e'), "bold red"}},
                  {{std::string(10, 'e'), "bold red"}}}},
        ToolCase{"blank_result_draws_nothing",
                 [](Scrollback& l) { l.append_tool_result(" \n\t\n ", false); },
                 {}},
        ToolCase{"one_line",
                 [](Scrollback& l) { l.append_tool_result("ok\n", false); },
                 {{{"    ⎿ ", CONNECTOR}, {"ok", "dim"}}}},
        ToolCase{"six_lines", [](Scrollback& l) { l.append_tool_result(lines_of(6)); },
                 result_rows(6)},
        ToolCase{"seven_lines", [](Scrollback& l) { l.append_tool_result(lines_of(7)); },
                 plus_fold(result_rows(6), "      … +1 more lines")},
        ToolCase{"twenty_lines", [](Scrollback& l) { l.append_tool_result(lines_of(20)); },
                 plus_fold(result_rows(6), "      … +14 more lines")},
        ToolCase{"line_cut_at_120_then_wrapped",
                 [](Scrollback& l) { l.append_tool_result("  x " + std::string(150, 'w')); },
                 {{{"    ⎿ ", CONNECTOR}, {"x", "dim"}},
                  {{std::string(95, 'w'), "dim"}},
                  {{std::string(23, 'w'), "dim"}}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ToolSteps, every_header_drawn_counts_a_step) {
  Transcript t;
  t.log().append_tool("bash", "a");
  t.log().append_tool_done("bash", "a", "");
  t.log().append_tool("read_file", "b");
  EXPECT_EQ(t.log().step_count(), 2);
  t.log().reset_steps();
  t.log()._rerender();
  EXPECT_EQ(t.log().step_count(), 2);
}

TEST(ToolResultRecord, a_redraw_at_a_new_width_keeps_errors_and_successes_apart) {
  Transcript t;
  t.log().append_tool_result("bad", true);
  t.log().append_tool_result("fine", false);
  t.pilot.resize({90, 30});  // drawn again from what was recorded
  t.pilot.pause();
  expect_rows(t.log().lines(), 0,
              {{{"    ⎿ ", "dim"}, {"bad", "bold red"}}, {{"    ⎿ ", CONNECTOR}, {"fine", "dim"}}});
}

// A result far larger than what is shown: six lines and the count of the rest.
TEST(ToolResultLarge, twenty_megabytes_fold_to_seven_rows) {
  Transcript t;
  std::string big;
  big.reserve(20u << 20);
  while (big.size() < (20u << 20)) big += "0123456789abcdef0123456789abcdef\n";
  const std::size_t total = big.size() / 33;
  t.log().append_tool_result(big);
  ASSERT_EQ(t.log().lines().size(), 7u);
  EXPECT_EQ(t.log().lines()[6].text().find(
                unicode::concat({"      … +", std::to_string(total - 6), " more lines"})),
            0u);
}

}  // namespace
}  // namespace zell::tui::widgets::testing

namespace zell::tui::widgets::testing {
namespace {

// A tool whose argument is one file path links its header to the file; a command does not.
TEST(ToolLinks, a_path_argument_links_to_the_file) {
  Transcript t;
  t.log().append_tool("Read", "src/app.txt:3");
  t.log().append_tool("bash", "rm -rf build");
  const auto link_in = [](const termui::Strip& row) {
    for (const auto& seg : row.segments()) {
      if (seg.style.link() != 0) return std::string(styled::link_target(seg.style.link()));
    }
    return std::string();
  };
  const auto row_with = [&t](std::string_view text) {
    for (const auto& row : t.log().lines()) {
      if (row.text().find(text) != std::string::npos) return row;
    }
    return termui::Strip();
  };
  const std::string target = link_in(row_with("src/app.txt"));
  EXPECT_TRUE(target.starts_with("file:///")) << target;
  EXPECT_TRUE(target.ends_with("/src/app.txt#3")) << target;
  EXPECT_NE(row_with("rm -rf").text(), "");
  EXPECT_EQ(link_in(row_with("rm -rf")), "");
}

}  // namespace
}  // namespace zell::tui::widgets::testing
