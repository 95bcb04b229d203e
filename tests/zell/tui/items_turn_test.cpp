// A whole turn on a pilot screen, the redraw of every kind of item, and oversized inputs.

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "item_rows.h"
#include "scrollback_fixture.h"
#include "styled/text.h"
#include "unicode/concat.h"

namespace zell::tui::widgets::testing {
namespace {

const char* const DIFF =
    "--- a/Makefile\n+++ b/Makefile\n@@ -3,2 +3,2 @@\n-\tcc -o app\n+\tc++ -o app";

void play_turn(Scrollback& log) {
  log.append_user("fix the build");
  log.append_thinking("The makefile calls cc.\nIt should call c++.\nThen run the tests.");
  log.append_tool("read_file", "Makefile");
  log.append_tool_done("read_file", "Makefile", "12 lines");
  log.append_tool_result("all: app\napp:\n\tcc -o app");
  log.append_tool("edit_file", "Makefile");
  log.append_tool_result(DIFF);
  log.append_tool("bash", "make test");
  log.append_tool_result("make: *** [test] Error 2", true);
  log.append_approval("bash", "rm -rf build");
  log.append_turn_summary(4.2, {"read_file", "edit_file", "bash"}, 900, 1500, 0.004);
}

TEST(Turn, a_turn_is_drawn_and_its_thinking_block_opens_and_closes_under_the_pointer) {
  Transcript t({100, 40});
  play_turn(t.log());
  t.pilot.pause();
  const std::vector<std::string> collapsed = {
      "",
      "❯ fix the build",
      "",
      "  ▶ The makefile calls cc.…  (+2 lines)",
      "  ● Read(Makefile)",
      "  ✓ Read(Makefile)  12 lines",
      "    │ all: app",
      "    │ app:",
      "    ⎿   cc -o app",  // the tab reaches column 8
      "  ● Update(Makefile)",
      "    ⎿ Added 1 line, removed 1 line",
      "       3 -      cc -o app",
      "       3 +      c++ -o app",
      "  ● Bash(make test)",
      "    ⎿ make: *** [test] Error 2",
      "",
      "  Allow bash? rm -rf build",
      "  Press 1 to allow, 2 to deny",
      "",
      "  4.2s · Read, Update, Bash · 1.5k tokens · $0.004 saved",
  };
  EXPECT_EQ(t.texts(), collapsed);
  EXPECT_EQ(t.log().step_count(), 3);

  // The screen shows the log one column in (its padding); the header's glyph is cyan there.
  const int header = 3;
  ASSERT_EQ(t.log().thinking_headers().count(header), 1u);
  EXPECT_EQ(t.pilot.cell(3, header).text, "▶");
  EXPECT_EQ(t.pilot.cell(3, header).style.fg(), styled::Style::parse("cyan").fg());

  t.log()._handle_thinking_click(header + 1);
  t.pilot.pause();
  std::vector<std::string> expanded = collapsed;
  expanded[3] = "  ▼ thinking (3 lines)";
  expanded.insert(expanded.begin() + 4, {"    The makefile calls cc.", "    It should call c++.",
                                         "    Then run the tests.", ""});
  EXPECT_EQ(t.texts(), expanded);
  EXPECT_EQ(t.pilot.lines()[header].find("   ▼ thinking (3 lines)"), 0u);
  EXPECT_EQ(t.log().step_count(), 3);  // the block alone was drawn again

  t.log()._handle_thinking_click(header);
  t.pilot.pause();
  EXPECT_EQ(t.texts(), collapsed);
}

TEST(Redraw, every_kind_is_redrawn_exactly_as_appended) {
  Transcript t({100, 40});
  Scrollback& log = t.log();
  play_turn(log);
  log._spacer();
  log.append_queued("and then?");
  log.append_assistant("Done.");
  log.append_info("info line");
  log.append_error("error line");
  log.append_thinking("open\nblock", true);
  log.append_approval("bash", std::string(150, 'c') + "\nnext");
  const auto raw = std::make_shared<styled::Text>("raw text", styled::Style::parse("bold"));
  log.append(entries::Raw{raw});
  log.append(entries::ToolCall{"t1", "bash", "make", "in_progress", "building", false});
  log.append(entries::Plan{{{"Fix it", "completed", "high"}, {"Test it", "pending", "low"}}});
  std::set<std::string_view> kinds;
  for (const HistoryEntry& e : log.history()) kinds.insert(e.kind());
  ASSERT_EQ(kinds.size(), std::variant_size_v<EntryRecord>);  // a new kind belongs here too

  const auto lines = log.lines();
  const auto header_rows = log.thinking_headers();
  const int writes = log.line_count();
  // Through the cache, and after a round trip to another width, which draws everything anew.
  log._rerender();
  EXPECT_EQ(log.lines(), lines);
  t.pilot.resize({70, 40});
  t.pilot.resize({100, 40});
  EXPECT_EQ(log.lines(), lines);
  EXPECT_EQ(log.thinking_headers(), header_rows);
  EXPECT_EQ(log.line_count(), writes);
}

TEST(LargeInput, a_hundred_thousand_line_thinking_text_shows_thirty) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "thought\n";
  Transcript t;
  t.log().append_thinking(text);
  t.log().append_thinking(text, true);
  const auto rows = t.texts();
  ASSERT_EQ(rows.size(), 2u + 34u);
  EXPECT_EQ(rows[1], "  ▶ thought…  (+99999 lines)");
  EXPECT_EQ(rows[3], "  ▼ thinking (100000 lines)");
  EXPECT_EQ(rows[34], "    … +99970 more lines");
}

TEST(LargeInput, a_megabyte_command_is_shown_whole_below_its_cut_line) {
  const std::string command(1u << 20, 'a');
  Transcript t;
  t.log().append_approval("bash", command);
  const auto rows = t.texts();
  const std::size_t full_rows = (command.size() + 90) / 91;  // rows of 91 cells
  ASSERT_EQ(rows.size(), 3 + full_rows);
  EXPECT_EQ(rows[2], unicode::concat({"    ", std::string(91, 'a')}));
  EXPECT_EQ(rows.back(), "  Press 1 to allow, 2 to deny");
}

}  // namespace
}  // namespace zell::tui::widgets::testing
