// Diff-shaped tool results: detection, the summary, gutters, skipped lines and the fold.

#include <gtest/gtest.h>

#include <string>

#include "item_rows.h"
#include "scrollback_fixture.h"
#include "unicode/concat.h"

namespace zell::tui::widgets::testing {
namespace {

struct DetectCase {
  std::string text;
  bool diff;
};

class DiffDetection : public ::testing::TestWithParam<DetectCase> {};

TEST_P(DiffDetection, counts_markers_in_the_first_ten_lines) {
  EXPECT_EQ(_is_diff(GetParam().text), GetParam().diff) << GetParam().text;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DiffDetection,
    ::testing::Values(DetectCase{"--- a/f\n+++ b/f\n@@ -1,2 +1,2 @@\n-x\n+y", true},
                      DetectCase{"ok\ndone", false}, DetectCase{"- a\n- b\n- c", true},
                      DetectCase{"+1\n-1", false}, DetectCase{"a\n  diff x\n@@\n+", false},
                      // The whole text is stripped, so the first line loses its indentation.
                      DetectCase{"\n\n  diff x\n@@\n+", true}, DetectCase{"diff x\n@@\n+", true},
                      // Two markers in the first ten lines, the third on line 11.
                      DetectCase{"+a\n-b\n3\n4\n5\n6\n7\n8\n9\n10\n+c", false}));

struct DrawCase {
  const char* name;
  std::string diff;
  std::vector<Row> rows;
};
void PrintTo(const DrawCase& c, std::ostream* os) {
  *os << c.name;
}

class DiffDrawing : public ::testing::TestWithParam<DrawCase> {};

TEST_P(DiffDrawing, draws_its_rows) {
  Transcript t;
  t.log().append_tool_result(GetParam().diff);
  expect_rows(t.log().lines(), 0, GetParam().rows);
  EXPECT_EQ(t.log().line_count(), static_cast<int>(GetParam().rows.size()));
}

Row summary(const char* text) {
  return {{"    ⎿ ", "dim #5f87ff"}, {text, "dim"}};
}
Row removed(const char* gutter, const char* text) {
  return {{gutter, "dim red"}, {"- ", "bold red"}, {text, "red"}};
}
Row added(const char* gutter, const char* text) {
  return {{gutter, "dim #32cd32"}, {"+ ", "bold #32cd32"}, {text, "#32cd32"}};
}
Row context(const char* gutter, const char* text) {
  return {{gutter, "dim"}, {"  ", ""}, {text, "dim"}};
}
Row fold(const char* text) {
  return {{text, "dim italic"}};
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DiffDrawing,
    ::testing::Values(
        DrawCase{"numbers_from_the_hunk_header",
                 "--- a/f\n+++ b/f\n@@ -10,3 +10,3 @@\n ctx\n-old\n+new",
                 {summary("Added 1 line, removed 1 line"), context("      10 ", "ctx"),
                  removed("      11 ", "old"), added("      11 ", "new")}},
        DrawCase{"fold_counts_every_line_not_shown",
                 "---\n+++\n@@ -1,3 +1,3 @@\n-a\n-b\n-c\n+d\n+e\n+f",
                 {summary("Added 3 lines, removed 3 lines"), removed("       1 ", "a"),
                  removed("       2 ", "b"), removed("       3 ", "c"), added("       1 ", "d"),
                  fold("      … +5 more lines")}},
        DrawCase{"four_lines_no_fold",
                 "@@ -1 +1 @@\n-a\n-b\n+c\n+d",
                 {summary("Added 2 lines, removed 2 lines"), removed("       1 ", "a"),
                  removed("       2 ", "b"), added("       1 ", "c"), added("       2 ", "d")}},
        DrawCase{"headers_before_the_file_lines_are_context",
                 "diff --git a/f b/f\nindex 1234..5678\n--- a/f\n+++ b/f\n-x",
                 {summary("removed 1 line"), context("       0 ", "diff --git a/f b/f"),
                  context("       1 ", "index 1234..5678"), removed("       2 ", "x")}},
        DrawCase{"blank_context_advances_numbers",
                 "@@ -5 +7 @@\n \n\n-gone\n\\ No newline at end of file\n+",
                 {summary("Added 1 line, removed 1 line"), removed("       7 ", "gone"),
                  context("       9 ", "\\ No newline at end of file"), added("      10 ", "")}},
        DrawCase{"wide_number_written_whole",
                 "@@ -12345 +12345 @@\n-a\n+b\n c",
                 {summary("Added 1 line, removed 1 line"), removed("    12345 ", "a"),
                  added("    12345 ", "b"), context("    12346 ", "c")}},
        // Too large for 64 bits: the gutter stays at the largest number and counting goes on.
        DrawCase{
            "huge_number_saturates",
            "@@ -99999999999999999999999 +x @@\n-a\n-b\n+c\n-d",
            {summary("Added 1 line, removed 3 lines"), removed("    18446744073709551615 ", "a"),
             removed("    18446744073709551615 ", "b"), added("       0 ", "c"),
             removed("    18446744073709551615 ", "d")}},
        DrawCase{"no_changes", "---\n+++\n@@ -1 +1 @@", {summary("no changes")}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(DiffLarge, one_megabyte_diff_is_summarised_whole_and_shows_four_lines) {
  Transcript t;
  std::string diff = "--- a/f\n+++ b/f\n@@ -1 +1 @@\n";
  std::size_t lines = 3;
  for (; diff.size() < (1u << 20); lines += 2) diff += "-old line of text\n+new line of text\n";
  const std::size_t pairs = (lines - 3) / 2;
  t.log().append_tool_result(diff);
  ASSERT_EQ(t.log().lines().size(), 6u);
  const std::string count = std::to_string(pairs);
  EXPECT_EQ(t.log().lines()[0].text().find(
                unicode::concat({"    ⎿ Added ", count, " lines, removed ", count, " lines"})),
            0u);
  EXPECT_EQ(
      t.log().lines()[5].text().find(unicode::concat({"      … +", std::to_string(lines - 4)})),
      0u);
}

}  // namespace
}  // namespace zell::tui::widgets::testing
