// The turn summary: its number formats, tool counts and the line it draws.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "item_rows.h"
#include "scrollback_fixture.h"

namespace zell::tui::widgets::testing {
namespace {

struct SummaryCase {
  double elapsed;
  std::vector<std::string> tools;
  std::int64_t tokens_in;
  std::int64_t tokens_out;
  double cost_saved;
  std::string text;
};
void PrintTo(const SummaryCase& c, std::ostream* os) {
  *os << c.text;
}

class TurnSummaryText : public ::testing::TestWithParam<SummaryCase> {};

TEST_P(TurnSummaryText, is_recorded_and_drawn) {
  const SummaryCase& c = GetParam();
  Transcript t;
  t.log().append_turn_summary(c.elapsed, c.tools, c.tokens_in, c.tokens_out, c.cost_saved);
  expect_rows(t.log().lines(), 0, {{}, {{"  ", ""}, {c.text, "dim"}}});
  t.log()._rerender();  // kept as text: a redraw shows the same line
  expect_rows(t.log().lines(), 0, {{}, {{"  ", ""}, {c.text, "dim"}}});
}

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();
constexpr double INF = std::numeric_limits<double>::infinity();

INSTANTIATE_TEST_SUITE_P(
    Formats, TurnSummaryText,
    ::testing::Values(
        SummaryCase{12.34,
                    {"bash", "read_file", "bash"},
                    0,
                    1234,
                    0.0123,
                    "12.3s · Bash x2, Read · 1.2k tokens · $0.012 saved"},
        SummaryCase{59.96, {}, 0, 0, 0.0, "60.0s"}, SummaryCase{60, {}, 0, 0, 0.0, "1m00s"},
        SummaryCase{125.9, {}, 0, 0, 0.0, "2m05s"}, SummaryCase{0.0, {}, 0, 0, 0.0, "0.0s"},
        SummaryCase{86405, {}, 0, 0, 0.0, "1440m05s"},
        // Exact ties in binary go to the even digit.
        SummaryCase{12.25, {}, 0, 0, 0.0, "12.2s"}, SummaryCase{12.75, {}, 0, 0, 0.0, "12.8s"},
        SummaryCase{1, {}, 0, 1250, 0.0, "1.0s · 1.2k tokens"},
        SummaryCase{1, {}, 0, 1350, 0.0, "1.0s · 1.4k tokens"},
        SummaryCase{1, {}, 0, 0, 0.0625, "1.0s · $0.062 saved"},
        SummaryCase{1, {}, 5000, 999, 0.0, "1.0s · 999 tokens"},
        SummaryCase{1, {}, 0, 1000, 0.0, "1.0s · 1.0k tokens"},
        SummaryCase{1, {}, 0, 0, -0.5, "1.0s"},
        SummaryCase{1, {"grep", "custom", "grep", "grep"}, 0, 0, 0.0, "1.0s · Search x3, custom"},
        // Not a number reads as no time; an endless one stops at the largest whole second.
        SummaryCase{NaN, {}, 0, 0, 0.0, "0.0s"},
        SummaryCase{INF, {}, 0, 0, 0.0, "153722867280912930m07s"}));

TEST(TurnSummaryTools, a_hundred_thousand_names_are_counted_in_first_use_order) {
  std::vector<std::string> tools;
  for (int i = 0; i < 100000; ++i) tools.push_back(i % 2 ? "read_file" : "bash");
  tools.push_back("x\x1b]0;t\x07");
  Transcript t;
  t.log().append_turn_summary(1.0, tools);
  EXPECT_EQ(t.log().lines()[1].text().find("  1.0s · Bash x50000, Read x50000, x␛]0;t␇"), 0u);
}

}  // namespace
}  // namespace zell::tui::widgets::testing
