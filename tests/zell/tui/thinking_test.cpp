// Thinking blocks: their collapsed and expanded shapes, and the click that flips them.

#include <gtest/gtest.h>

#include <functional>
#include <new>
#include <string>

#include "item_rows.h"
#include "scrollback_fixture.h"
#include "styled/text.h"
#include "unicode/concat.h"
#include "zell/errors.h"

namespace zell::tui::widgets::testing {
namespace {

std::string numbered_lines(int n) {
  std::string s;
  for (int i = 1; i <= n; ++i) s += unicode::concat({"line ", std::to_string(i), "\n"});
  return s;
}

struct ShapeCase {
  const char* name;
  int terminal_width;
  std::string text;
  bool expanded;
  std::vector<Row> rows;
};
void PrintTo(const ShapeCase& c, std::ostream* os) {
  *os << c.name;
}

class ThinkingShape : public ::testing::TestWithParam<ShapeCase> {};

TEST_P(ThinkingShape, draws_its_rows) {
  const ShapeCase& c = GetParam();
  Transcript t({c.terminal_width, 30});
  t.log().append_thinking(c.text, c.expanded);
  expect_rows(t.log().lines(), 0, c.rows);
}

const std::string FIFTY(50, 'a');
// 71 letters and a space at position 72: the cut preview loses its trailing space.
const std::string NINETY = std::string(71, 'b') + " " + std::string(18, 'c');
const std::string WORDS = "alpha beta gamma delta epsilon zeta eta theta iota kappa";

std::vector<Row> expanded_numbered(int n) {
  std::vector<Row> rows{
      {},
      {{"  ▼ ", "cyan"},
       {unicode::concat({"thinking (", std::to_string(n), " lines)"}), "dim italic cyan"}}};
  for (int i = 1; i <= 30; ++i)
    rows.push_back({{unicode::concat({"    line ", std::to_string(i)}), "dim italic"}});
  rows.push_back(
      {{unicode::concat({"    … +", std::to_string(n - 30), " more lines"}), "dim italic"}});
  rows.push_back({});
  return rows;
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, ThinkingShape,
    ::testing::Values(
        ShapeCase{
            "short_line_whole", 100, FIFTY, false, {{}, {{"  ▶ ", "cyan"}, {FIFTY, "dim italic"}}}},
        ShapeCase{"long_line_cut_at_72",
                  100,
                  NINETY,
                  false,
                  {{}, {{"  ▶ ", "cyan"}, {std::string(71, 'b') + "…", "dim italic"}}}},
        ShapeCase{"three_lines_counted",
                  100,
                  "  first\nsecond\nthird  \n",
                  false,
                  {{}, {{"  ▶ ", "cyan"}, {"first…", "dim italic"}, {"  (+2 lines)", "dim cyan"}}}},
        ShapeCase{"preview_at_least_30",
                  50,
                  std::string(40, 'd'),
                  false,
                  {{}, {{"  ▶ ", "cyan"}, {std::string(30, 'd') + "…", "dim italic"}}}},
        // Width 30: the one-line header is cut by the log at 25 cells and ends in "…".
        ShapeCase{"header_cut_by_the_width",
                  30,
                  std::string(40, 'e'),
                  false,
                  {{}, {{"  ▶ ", "cyan"}, {std::string(20, 'e') + "…", "dim italic"}}}},
        ShapeCase{"expanded_one_line",
                  100,
                  "just this",
                  true,
                  {{},
                   {{"  ▼ ", "cyan"}, {"thinking (1 lines)", "dim italic cyan"}},
                   {{"    just this", "dim italic"}},
                   {}}},
        ShapeCase{"expanded_blank_line_inside",
                  100,
                  "a\n\n  \nb",
                  true,
                  {{},
                   {{"  ▼ ", "cyan"}, {"thinking (4 lines)", "dim italic cyan"}},
                   {{"    a", "dim italic"}},
                   {},
                   {},
                   {{"    b", "dim italic"}},
                   {}}},
        ShapeCase{"expanded_35_lines_folded", 100, numbered_lines(35), true, expanded_numbered(35)},
        // Width 30: filled at 32 characters (40 − 8), then each row of up to 36 cells is
        // wrapped again by the log at 25.
        ShapeCase{"expanded_narrow_fill",
                  30,
                  WORDS,
                  true,
                  {{},
                   {{"  ▼ ", "cyan"}, {"thinking (1 lines)", "dim italic cyan"}},
                   {{"    alpha beta gamma", "dim italic"}},
                   {{"delta epsilon", "dim italic"}},
                   {{"    zeta eta theta iota", "dim italic"}},
                   {{"kappa", "dim italic"}},
                   {}}},
        ShapeCase{"blank_text_draws_nothing", 100, " \n\t ", false, {}}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- clicks ----

class ThinkingClick : public ::testing::Test {
 protected:
  Scrollback& log() { return t.log(); }
  // The display row of the header of history entry `idx`.
  int header_row(int idx) {
    for (const auto& [row, i] : log().thinking_headers()) {
      if (i == idx) return row;
    }
    ADD_FAILURE() << "no header for entry " << idx;
    return -100;
  }
  // Whether the header of entry `idx` shows the block open.
  bool expanded(int idx) {
    return log().lines().at(static_cast<std::size_t>(header_row(idx))).text().find("▼") !=
           std::string::npos;
  }
  Transcript t;
};

TEST_F(ThinkingClick, header_rows_are_display_rows_below_wrapped_items) {
  log().append_thinking("one");                      // entry 0: rows 0, 1
  log().append_info(std::string(300, 'i'));          // entry 1: blank + 1 write, 4 rows
  log().append_tool("bash", std::string(200, 'a'));  // entry 2: 1 write, 2 rows
  log().append_thinking("two\nlines");               // entry 3
  EXPECT_EQ(header_row(0), 1);
  const int second = header_row(3);
  EXPECT_EQ(log().lines()[second].text().find("  ▶ two"), 0u);
  EXPECT_GT(second, log().line_count() - 1);  // more rows than writes before it

  log()._handle_thinking_click(second);
  EXPECT_TRUE(expanded(3));
  EXPECT_FALSE(expanded(0));
  EXPECT_EQ(log().lines()[header_row(3)].text().find("  ▼ thinking (2 lines)"), 0u);
  log()._handle_thinking_click(header_row(3));
  EXPECT_FALSE(expanded(3));
}

TEST_F(ThinkingClick, window_reaches_two_rows_either_side) {
  log().append_info(std::string(20, 'x'));             // rows 0, 1
  log().append_info(std::string(20, 'y'));             // rows 2, 3
  log().append_thinking("t");                          // rows 4, 5 (header)
  for (int i = 0; i < 4; ++i) log().append_info("z");  // rows 6..13
  const int h = header_row(2);
  ASSERT_EQ(h, 5);
  struct Probe {
    int y;
    bool toggles;
  };
  for (const Probe p : {Probe{h - 3, false}, Probe{h - 2, true}, Probe{h + 2, true},
                        Probe{h + 3, false}, Probe{-1000, false}, Probe{1 << 30, false}}) {
    const bool before = expanded(2);
    log()._handle_thinking_click(p.y);
    EXPECT_EQ(expanded(2) != before, p.toggles) << "click at " << p.y;
    if (expanded(2)) log()._handle_thinking_click(h);  // back to collapsed, header stays at h
  }
}

TEST_F(ThinkingClick, the_upper_of_two_headers_in_the_window_wins) {
  log().append_thinking("a");  // header row 1
  log().append_thinking("b");  // header row 3
  log()._handle_thinking_click(2);
  EXPECT_TRUE(expanded(0));
  EXPECT_FALSE(expanded(1));
}

TEST_F(ThinkingClick, glyph_without_header_flips_the_first_thinking_block) {
  for (int i = 0; i < 8; ++i) {
    if (i == 3 || i == 7) {
      log().append_thinking(unicode::concat({"block ", std::to_string(i)}), i == 7);
    } else {
      log().append_info("filler");
    }
  }
  log().append_info("an arrow ▶ in plain text");
  log().append_info("end");
  const int arrow_row = static_cast<int>(log().lines().size()) - 3;
  ASSERT_NE(log().lines()[arrow_row].text().find("▶"), std::string::npos);
  log()._handle_thinking_click(arrow_row);
  EXPECT_TRUE(expanded(3));
  EXPECT_TRUE(expanded(7));
}

TEST_F(ThinkingClick, no_header_or_glyph_in_reach_changes_nothing) {
  log().append_thinking("t");
  for (int i = 0; i < 5; ++i) log().append_info("plain");
  const auto before = log().lines();
  log()._handle_thinking_click(static_cast<int>(before.size()) - 1);
  EXPECT_FALSE(expanded(0));
  EXPECT_EQ(log().lines(), before);
}

TEST_F(ThinkingClick, redraw_keeps_the_scroll_offset) {
  for (int i = 0; i < 30; ++i) log().append_info("above");
  log().append_thinking("t\nu\nv");
  for (int i = 0; i < 30; ++i) log().append_info("below");
  const int h = header_row(30);
  log().scroll_to(h - 3);
  log()._handle_thinking_click(h);
  EXPECT_TRUE(expanded(30));
  EXPECT_EQ(log().scroll_offset().y, h - 3);
}

// An entry whose drawing fails as `fail` says, for the guard of the click.
struct Failing : styled::Renderable {
  void render(const styled::Console&, int, styled::Lines&) const override { fail(); }
  std::function<void()> fail;
};

// A block drawn in the middle of an answer that streams: a flip draws it again with everything
// below it, the failing entry too.
TEST_F(ThinkingClick, an_error_inside_does_not_reach_the_caller) {
  log().stream_token("answer ");
  log().append_thinking("t");
  const auto failing = std::make_shared<Failing>();
  failing->fail = [] { throw std::bad_alloc(); };
  EXPECT_THROW(log().append(entries::Raw{failing}), std::bad_alloc);  // recorded all the same
  const int header = header_row(0);
  EXPECT_NO_THROW(log()._handle_thinking_click(header));
  EXPECT_TRUE(expanded(0));  // flipped before the redraw failed
}

TEST_F(ThinkingClick, interrupt_and_exit_pass_through) {
  log().stream_token("answer ");
  log().append_thinking("t");
  const auto failing = std::make_shared<Failing>();
  failing->fail = [] { throw zell::Interrupt(); };
  EXPECT_THROW(log().append(entries::Raw{failing}), zell::Interrupt);
  const int header = header_row(0);
  EXPECT_THROW(log()._handle_thinking_click(header), zell::Interrupt);
  failing->fail = [] { throw zell::ExitRequest(); };
  EXPECT_THROW(log()._handle_thinking_click(header_row(0)), zell::ExitRequest);
}

}  // namespace
}  // namespace zell::tui::widgets::testing
