// Finding text in the transcript: what matches, what is counted, what the rows mark and where
// the view goes.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "zell/tui/scrollback_fixture.h"
#include "zell/tui/widgets/scrollback/search_match.h"

namespace zell::tui::widgets {
namespace {

using testing::Transcript;

struct MatchCase {
  const char* name;
  const char* query;
  const char* text;
  std::vector<std::pair<std::size_t, std::size_t>> spans;
};
void PrintTo(const MatchCase& c, std::ostream* os) {
  *os << c.name;
}

class Matching : public ::testing::TestWithParam<MatchCase> {};

TEST_P(Matching, finds_the_spans) {
  const MatchCase& c = GetParam();
  std::vector<std::pair<std::size_t, std::size_t>> got;
  SearchQuery(c.query).for_each_match(
      c.text, [&](std::size_t b, std::size_t e) { got.emplace_back(b, e); });
  EXPECT_EQ(got, c.spans);
}

INSTANTIATE_TEST_SUITE_P(
    SmartCase, Matching,
    ::testing::Values(
        MatchCase{"lower_case_ignores_case", "foo", "Foo fOO foo", {{0, 3}, {4, 7}, {8, 11}}},
        MatchCase{"a_capital_matches_exactly", "Foo", "foo Foo FOO", {{4, 7}}},
        MatchCase{"matches_do_not_overlap", "aa", "aaaaa", {{0, 2}, {2, 4}}},
        MatchCase{"accented_letters_fold", "élan", "ÉLAN élan", {{0, 5}, {6, 11}}},
        MatchCase{"accented_capital_is_exact", "Élan", "élan Élan", {{6, 11}}},
        MatchCase{"match_at_the_very_end", "end", "the end", {{4, 7}}},
        MatchCase{"longer_than_the_text", "needle", "need", {}},
        MatchCase{"empty_query_matches_nothing", "", "anything", {}}),
    [](const auto& info) { return std::string(info.param.name); });

// A transcript 60 columns wide and 12 rows high (content from screen column 1).
class Search : public ::testing::Test {
 protected:
  Scrollback& log() { return t.log(); }
  std::pair<std::size_t, std::size_t> status() {
    const auto s = log().search_status();
    return {s.current, s.total};
  }
  // Visible row y, one character per content cell: 'C' on the current match, 'm' on another
  // match, '.' elsewhere.
  std::string marks(int y) {
    const styled::Color current = styled::Style::parse("on #ff8700").bg();
    const styled::Color other = styled::Style::parse("on #d7af5f").bg();
    std::string out;
    for (int x = 1; x < 60; ++x) {
      const styled::Color bg = t.pilot.cell(x, y).style.bg();
      out += bg == current ? 'C' : bg == other ? 'm' : '.';
    }
    out.erase(out.find_last_not_of('.') + 1);
    return out;
  }
  // The visible row showing `text`, or -1.
  int row_of(std::string_view text) {
    const auto rows = t.pilot.lines();
    for (std::size_t y = 0; y < rows.size(); ++y) {
      if (rows[y].find(text) != std::string::npos) return static_cast<int>(y);
    }
    return -1;
  }
  void fill(int n) {
    for (int i = 0; i < n; ++i) log().append_info("filler line " + std::to_string(i));
  }

  Transcript t{{60, 12}};
};

TEST_F(Search, marks_every_match_and_the_current_one_apart_as_it_moves) {
  log().append_info("a needle and a needle");
  log().search("needle");
  t.pilot.pause();
  const int y = row_of("a needle");
  ASSERT_GE(y, 0);
  EXPECT_EQ(marks(y), "....CCCCCC.......mmmmmm");
  EXPECT_EQ(status(), std::make_pair(std::size_t{1}, std::size_t{2}));
  log().search_step(1);
  t.pilot.pause();
  EXPECT_EQ(marks(y), "....mmmmmm.......CCCCCC");
  EXPECT_EQ(status().first, 2U);
  log().search_step(1);  // round to the first
  EXPECT_EQ(status().first, 1U);
  log().search_step(-1);  // and back to the last
  EXPECT_EQ(status().first, 2U);
  log().end_search();
  t.pilot.pause();
  EXPECT_EQ(marks(y), "");
  EXPECT_EQ(status(), std::make_pair(std::size_t{0}, std::size_t{0}));
}

TEST_F(Search, counts_what_folds_hide_and_tool_headers) {
  log().append_thinking("first thought\nthe hidden idea\nlast thought");
  std::string result;
  for (int i = 0; i < 12; ++i) result += i == 10 ? "an idea far down\n" : "output\n";
  log().append_tool_result(result);
  log().append_tool("read_file", "idea.txt");
  log().append_approval("bash", "rm -rf ideas");
  log().append_user("no match here");
  log().search("idea");
  EXPECT_EQ(status().second, 4U);
  log().search("Idea");
  EXPECT_EQ(status().second, 0U);
}

TEST_F(Search, current_match_in_a_folded_thinking_block_opens_it) {
  log().append_thinking("first thought\nthe hidden idea\nlast thought");
  log().search("hidden");
  t.pilot.pause();
  EXPECT_TRUE(log().history()[0].as<entries::Thinking>()->expanded);
  const int y = row_of("the hidden idea");
  ASSERT_GE(y, 0);
  EXPECT_EQ(marks(y), "........CCCCCC");
}

TEST_F(Search, the_opened_block_header_is_not_taken_for_its_text) {
  log().append_thinking("count the lines\nagain");
  log().search("lines");
  t.pilot.pause();
  EXPECT_EQ(status().second, 1U);
  EXPECT_EQ(marks(row_of("thinking (2 lines)")), "................mmmmm");
  EXPECT_EQ(marks(row_of("count the lines")), "..............CCCCC");
}

TEST_F(Search, an_answer_drawn_as_markdown_is_searched_as_it_reads) {
  log().append_assistant("Fixed the **off by one** bug");
  log().search("**");
  EXPECT_EQ(status().second, 0U);
  log().search("the off");
  t.pilot.pause();
  EXPECT_EQ(status().second, 1U);
  EXPECT_EQ(marks(row_of("Fixed the off")), "........CCCCCCC");
}

TEST_F(Search, a_streamed_answer_is_searched_as_drawn_raw_then_as_markdown) {
  log().stream_token("Fixed the **off by");
  log().stream_token(" one** bug");
  log().finish_streamed_answer();
  log().search("the off");
  EXPECT_EQ(status().second, 0U);  // the rows show the markers as they came
  log().render_finished_answer();
  EXPECT_EQ(status().second, 1U);
}

TEST_F(Search, scrolls_to_a_match_far_above_and_leaving_keeps_the_view) {
  log().append_info("the lost key");
  fill(100);
  t.pilot.pause();
  ASSERT_EQ(row_of("lost key"), -1);
  log().search("lost");
  t.pilot.pause();
  const int y = row_of("the lost key");
  ASSERT_GE(y, 0);
  EXPECT_EQ(marks(y), "......CCCC");
  log().end_search();
  t.pilot.pause();
  EXPECT_EQ(row_of("the lost key"), y);
  EXPECT_EQ(marks(y), "");
}

TEST_F(Search, steps_from_the_top_of_the_view_to_matches_below_and_round) {
  log().append_info("match one");
  fill(50);
  log().append_info("match two");
  fill(50);
  log().search("match");
  EXPECT_EQ(status().first, 1U);  // the view at the end holds no match: round to the top
  log().search_step(1);
  t.pilot.pause();
  EXPECT_EQ(status().first, 2U);
  EXPECT_GE(row_of("match two"), 0);
  EXPECT_EQ(row_of("match one"), -1);
}

TEST_F(Search, a_match_in_rows_not_laid_out_at_the_new_width_is_laid_out_and_marked) {
  const std::string words = "alpha beta gamma delta epsilon zeta eta theta iota kappa lambda";
  log().append_info(words + " target");
  fill(200);
  t.pilot.resize({40, 12});
  t.pilot.pause();
  log().search("target");
  t.pilot.pause();
  const int y = row_of("target");
  ASSERT_GE(y, 0);
  EXPECT_NE(marks(y).find("CCCCCC"), std::string::npos);
  // The entry's rows were drawn again for 40 columns.
  for (std::size_t r = 0; r < log().history()[2].first_row; ++r) {
    EXPECT_LE(log().lines()[r].cell_length(), 38) << r;
  }
}

TEST_F(Search, entries_added_or_changed_during_the_search_are_counted) {
  log().append_info("one match");
  log().search("match");
  log().append_info("another match");
  EXPECT_EQ(status(), std::make_pair(std::size_t{1}, std::size_t{2}));
  log().replace_entry(0, entries::Info{"gone"});
  EXPECT_EQ(status().second, 1U);
  log().clear();
  EXPECT_EQ(status(), std::make_pair(std::size_t{0}, std::size_t{0}));
}

TEST_F(Search, a_match_folded_away_in_a_long_result_marks_the_fold_row) {
  std::string result = "a needle shown\n";
  for (int i = 0; i < 10; ++i) result += i == 8 ? "a needle folded away\n" : "output\n";
  log().append_tool_result(result);
  log().search("needle");
  t.pilot.pause();
  const int shown = row_of("a needle shown");
  const int fold = row_of("more lines");
  ASSERT_GE(shown, 0);
  ASSERT_GE(fold, 0);
  EXPECT_EQ(marks(shown), "........CCCCCC");
  EXPECT_EQ(marks(fold), "");
  log().search_step(1);
  t.pilot.pause();
  EXPECT_EQ(status().first, 2U);
  EXPECT_EQ(marks(shown), "........mmmmmm");
  EXPECT_EQ(marks(fold), "......CCCCCCCCCCCCCCC");
}

TEST_F(Search, the_fold_rows_own_words_are_not_matches) {
  std::string result;
  for (int i = 0; i < 10; ++i) result += "output\n";
  log().append_tool_result(result);
  log().search("more");
  t.pilot.pause();
  EXPECT_EQ(status().second, 0U);
  EXPECT_EQ(marks(row_of("more lines")), "");
}

// Rows that repeat the entry's words or add their own: the current mark stays on the match
// counted, not on the one at the same place among the row's matches.
TEST_F(Search, the_current_mark_skips_words_the_rows_repeat_or_add) {
  log().append_approval("bash", "git status\ngit push", {});
  log().append(entries::Plan{{{"ship it", "pending", "high"}, {"high five", "pending", "low"}}});
  log().search("git");
  log().search_step(1);
  t.pilot.pause();
  EXPECT_EQ(status(), std::make_pair(std::size_t{2}, std::size_t{2}));
  EXPECT_EQ(marks(row_of("git push")), "....CCC");
  EXPECT_EQ(marks(row_of("    git status")), "....mmm");
  log().search("high");
  t.pilot.pause();
  EXPECT_EQ(status(), std::make_pair(std::size_t{1}, std::size_t{1}));
  EXPECT_EQ(marks(row_of("high five")), "......CCCC");
  EXPECT_EQ(marks(row_of("ship it")), "................mmmm");
}

TEST_F(Search, a_match_cut_by_the_row_end_marks_both_pieces) {
  log().append_assistant("one two three four five six seven eight nine ten eleven twelve");
  log().search("ten eleven");
  t.pilot.pause();
  EXPECT_EQ(status(), std::make_pair(std::size_t{1}, std::size_t{1}));
  ASSERT_NE(row_of("nine ten"), row_of("eleven"));  // the width cuts between the two words
  EXPECT_EQ(marks(row_of("nine ten")), "...............................................CCC");
  EXPECT_EQ(marks(row_of("eleven")), "..CCCCCC");
}

}  // namespace
}  // namespace zell::tui::widgets
