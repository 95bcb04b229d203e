// Mouse selection in the transcript and the copy it sends out.

#include <optional>
#include <system_error>

#include <gtest/gtest.h>

#include "styled/text.h"
#include "termui/clipboard.h"
#include "termui/pty.h"
#include "zell/tui/scrollback_fixture.h"

namespace zell::tui::widgets {
namespace {

using termui::osc52_sequence;
using termui::write_terminal_device;
using termui::testing::Pty;
using testing::Transcript;

// A transcript 60 columns wide: content from screen column 1 (padding), 57 cells wide, the
// scroll bar in column 59. Clipboard output is captured, never sent to a real terminal.
class Selection : public ::testing::Test {
 protected:
  Selection() {
    log().clipboard_ports.write_terminal = [this](std::string_view b) { writes.emplace_back(b); };
    log().clipboard_ports.run_command = [](const std::vector<std::string>&, std::string_view) {
      return false;
    };
  }
  Scrollback& log() { return t.log(); }
  void show(std::initializer_list<std::string_view> rows) {
    for (std::string_view r : rows) log().write(styled::Text(r));
    t.pilot.pause();
  }
  // Press, one move, release, in content cells of the visible rows.
  void drag(int x0, int y0, int x1, int y1) {
    t.pilot.mouse_down(x0 + 1, y0);
    t.pilot.mouse_move(x1 + 1, y1);
    t.pilot.mouse_up(x1 + 1, y1);
  }
  // One character per content cell of visible row y: 'h' on the highlight background, else '.'.
  std::string highlight_mask(int y, int cells) {
    const styled::Color blue = styled::Style::parse("on #264f78").bg();
    std::string mask;
    for (int x = 1; x <= cells; ++x) mask += t.pilot.cell(x, y).style.bg() == blue ? 'h' : '.';
    return mask;
  }

  Transcript t{{60, 12}};
  std::vector<std::string> writes;
};

struct Gesture {
  const char* name;
  int x0, y0, x1, y1;
  std::optional<std::string> copied;  // nullopt: a click
  friend void PrintTo(const Gesture& g, std::ostream* os) { *os << g.name; }
};

class Gestures : public Selection, public ::testing::WithParamInterface<Gesture> {};

TEST_P(Gestures, ClickOrCopyTheCharactersBetweenThePoints) {
  const Gesture& g = GetParam();
  show({"alpha beta", "gamma delta", "epsilon"});
  drag(g.x0, g.y0, g.x1, g.y1);
  if (!g.copied) {
    EXPECT_TRUE(writes.empty());
    EXPECT_FALSE(log()._sel_range());
    EXPECT_EQ(log().get_selection(), "");
    return;
  }
  ASSERT_EQ(writes.size(), 1U);
  EXPECT_EQ(writes[0], osc52_sequence(*g.copied));
  EXPECT_EQ(log().get_selection(), *g.copied);
}

INSTANTIATE_TEST_SUITE_P(
    Drags, Gestures,
    ::testing::Values(Gesture{"same_spot", 2, 0, 2, 0, std::nullopt},
                      Gesture{"two_columns", 2, 0, 4, 0, std::nullopt},
                      Gesture{"two_columns_left", 4, 0, 2, 0, std::nullopt},
                      Gesture{"three_columns", 2, 0, 5, 0, "pha"},
                      Gesture{"reverse_three_columns", 5, 0, 2, 0, "pha"},
                      Gesture{"next_line_same_column", 2, 0, 2, 1, "pha beta\nga"},
                      Gesture{"upward", 2, 1, 2, 0, "pha beta\nga"},
                      Gesture{"three_lines", 6, 0, 3, 2, "beta\ngamma delta\neps"},
                      Gesture{"past_the_text_end", 6, 0, 40, 0, "beta"},
                      Gesture{"below_the_last_line", 6, 1, 3, 20, "delta\nepsilon"},
                      Gesture{"above_the_first_line", 3, 1, 3, -4, "alpha beta\ngam"},
                      Gesture{"left_of_column_0", 4, 2, -5, 1, "gamma delta\nepsi"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Selection, HighlightCoversTheCopiedCharactersOnly) {
  show({"alpha beta", "gamma delta", "epsilon"});
  drag(6, 0, 3, 2);
  EXPECT_EQ(highlight_mask(0, 14), "......hhhh....");  // row padding is not highlighted
  EXPECT_EQ(highlight_mask(1, 14), "hhhhhhhhhhh...");
  EXPECT_EQ(highlight_mask(2, 14), "hhh...........");
  EXPECT_EQ(highlight_mask(3, 14), "..............");
}

TEST_F(Selection, LeftOfColumnZeroHighlightsFromTheLineStart) {
  show({"alpha beta", "gamma delta"});
  drag(4, 1, -5, 0);
  EXPECT_EQ(highlight_mask(0, 12), "hhhhhhhhhh..");
  EXPECT_EQ(highlight_mask(1, 12), "hhhh........");
}

struct WideCase {
  const char* name;
  const char* row;
  int x0, x1;  // cells
  const char* copied;
  const char* mask;
  SelectionRange range;  // columns in characters
  friend void PrintTo(const WideCase& c, std::ostream* os) { *os << c.name; }
};

class WideEdges : public Selection, public ::testing::WithParamInterface<WideCase> {};

TEST_P(WideEdges, CellsMapToTheGlyphsShownThere) {
  const WideCase& c = GetParam();
  show({c.row});
  drag(c.x0, 0, c.x1, 0);
  ASSERT_EQ(writes.size(), 1U);
  EXPECT_EQ(writes[0], osc52_sequence(c.copied));
  EXPECT_EQ(highlight_mask(0, 10), c.mask);
  EXPECT_EQ(log()._sel_range(), c.range);
}

// "ab漢字cd": a=0 b=1 漢=2,3 字=4,5 c=6 d=7. "xé" with a combining accent: x=0 e+◌́=1 y=2.
INSTANTIATE_TEST_SUITE_P(
    Glyphs, WideEdges,
    ::testing::Values(
        WideCase{"press_on_right_half", "ab漢字cd", 3, 7, "漢字c", "..hhhhh...", {0, 2, 0, 5}},
        WideCase{"reverse", "ab漢字cd", 7, 3, "漢字c", "..hhhhh...", {0, 2, 0, 5}},
        WideCase{"release_on_right_half", "ab漢字cd", 0, 5, "ab漢", "hhhh......", {0, 0, 0, 3}},
        WideCase{"accent_stays_with_its_letter",
                 "xe\u0301yz",
                 1,
                 4,
                 "e\u0301yz",
                 ".hhh......",
                 {0, 1, 0, 5}},
        WideCase{"accent_at_the_end", "xe\u0301yz", 0, 3, "xe\u0301y", "hhh.......", {0, 0, 0, 4}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(Selection, AClickOnAThinkingHeaderTogglesThatBlock) {
  for (int i = 0; i < 3; ++i) log().append_info(std::string(130, 'w'));  // wrapped rows above
  log().append_thinking("first\nsecond");
  log().append_thinking("other\nblock");
  const int header = static_cast<int>(log().lines().size()) - 1;  // the second block's header
  t.pilot.click(5, header - log().scroll_offset().y);
  const auto shown = [this](int row) { return log().lines().at(row).text().substr(0, 6); };
  const int first_header = log().thinking_headers().begin()->first;
  EXPECT_EQ(shown(first_header), "  ▶ ");
  EXPECT_EQ(shown(header), "  ▼ ");
  EXPECT_TRUE(writes.empty());
  t.pilot.click(5, header - log().scroll_offset().y);
  EXPECT_EQ(shown(header), "  ▶ ");
}

TEST_F(Selection, WhitespaceOnlySelectionStaysButIsNotCopied) {
  show({"a      b"});
  drag(1, 0, 6, 0);
  EXPECT_TRUE(writes.empty());
  EXPECT_EQ(log().get_selection(), "     ");
  EXPECT_EQ(highlight_mask(0, 8), ".hhhhh..");
}

TEST_F(Selection, GetSelectionReadsTheLinesAsTheyAreNow) {
  show({"alpha beta"});
  drag(0, 0, 5, 0);
  log().clear();
  show({"gamma delta"});
  EXPECT_EQ(log().get_selection(), "gamma");
  ASSERT_EQ(writes.size(), 1U);
  EXPECT_EQ(writes[0], osc52_sequence("alpha"));  // what was copied at the release
}

TEST_F(Selection, ScrollingBetweenPressAndReleaseSelectsContentLines) {
  for (int i = 0; i < 40; ++i) log().write(styled::Text("line " + std::to_string(i)));
  t.pilot.pause();
  const int top = log().scroll_offset().y;  // 28: the last 12 of 40 lines
  t.pilot.mouse_down(1, 2);
  t.pilot.scroll_up(10, 5, 2);  // 6 lines up, while the mouse is held
  t.pilot.mouse_up(5, 2);
  ASSERT_EQ(log().scroll_offset().y, top - 6);
  // From column 4 of line 24 to column 0 of line 30.
  std::string expected = " " + std::to_string(top - 4);
  for (int i = top - 3; i < top + 2; ++i) expected += "\nline " + std::to_string(i);
  expected += "\n";
  ASSERT_EQ(writes.size(), 1U);
  EXPECT_EQ(writes[0], osc52_sequence(expected));
}

TEST_F(Selection, PressOnTheScrollBarOrReleaseWithoutPressChangesNothing) {
  show({"alpha beta", "gamma delta"});
  t.pilot.mouse_up(3, 0);
  EXPECT_FALSE(log()._sel_range());
  drag(0, 0, 5, 0);
  t.pilot.mouse_down(59, 1);  // scroll bar
  t.pilot.mouse_up(59, 1);
  t.pilot.mouse_down(58, 1);  // right padding
  EXPECT_EQ(log().get_selection(), "alpha");
  EXPECT_EQ(writes.size(), 1U);
}

TEST_F(Selection, UnreachableClipboardIsReportedAndTheSelectionStays) {
  std::vector<std::string> tried;
  log().clipboard_ports.write_terminal = [](std::string_view) {
    throw std::system_error(ENXIO, std::generic_category(), "open terminal");
  };
  log().clipboard_ports.run_command = [&tried](const std::vector<std::string>& argv,
                                               std::string_view) {
    tried.push_back(argv[0]);
    return false;
  };
  show({"alpha beta"});
  drag(0, 0, 5, 0);
  EXPECT_EQ(tried, (std::vector<std::string>{"pbcopy", "wl-copy", "xclip", "xsel"}));
  EXPECT_EQ(log().lines().at(1).text().rfind("  ✗ Could not copy the selection: ", 0), 0U);
  EXPECT_EQ(log().get_selection(), "alpha");
  EXPECT_EQ(highlight_mask(0, 6), "hhhhh.");
}

TEST_F(Selection, HundredThousandLinesOfTenMegabytesGoOutInOneWrite) {
  const int n = 100000;
  std::vector<termui::Strip> rows;
  std::string expected;
  for (int i = 0; i < n; ++i) {
    std::string text = "row " + std::to_string(i) + " ";
    text.resize(100, 'x');
    rows.emplace_back(std::vector<styled::Segment>{{text, {}}});
    expected += i + 1 < n ? text + "\n" : text.substr(0, 10);
  }
  log().append_strips(rows.data(), rows.size());
  log().scroll_to(0);
  t.pilot.pause();
  t.pilot.mouse_down(1, 0);
  log().scroll_end();
  t.pilot.mouse_up(11, 11);
  ASSERT_EQ(writes.size(), 1U);
  EXPECT_EQ(writes[0], osc52_sequence(expected));
}

// ---- out to the terminal ----

TEST_F(Selection, TheTerminalReceivesTheExactSequence) {
  Pty pty;
  log().clipboard_ports.write_terminal = [&pty](std::string_view b) {
    write_terminal_device(pty.name, b);
  };
  show({"hello wörld"});
  drag(0, 0, 11, 0);
  const std::string expected = "\x1b]52;c;aGVsbG8gd8O2cmxk\x07";
  EXPECT_EQ(pty.read(expected.size()), expected);
}

}  // namespace
}  // namespace zell::tui::widgets
