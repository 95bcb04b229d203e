#include "zell/tui/screens/preflight/picker_text.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "unicode/utf8.h"

namespace zell::tui::screens {
namespace {

TEST(OneLineReason, keeps_eighty_characters_on_one_line) {
  std::string long_text;
  for (int i = 0; i < 20; ++i) long_text += "line " + std::to_string(i) + "\n";  // 7-8 chars each
  std::string expected = long_text.substr(0, 80);
  std::replace(expected.begin(), expected.end(), '\n', ' ');
  const struct {
    std::string in;
    std::string out;
  } cases[] = {
      {long_text, expected},
      {"a\r\nb\rc\u2028d\x0b"
       "e",
       "a b c d e"},                                   // every line break is one space
      {"red \x1b[31m!", "red ␛[31m!"},                 // no escape reaches the terminal
      {"down \u202Egnp.exe", "down <U+202E>gnp.exe"},  // nor a character that reorders it
      {"bad \xff byte", "bad \uFFFD byte"},
      {std::string(100, 'x'), std::string(80, 'x')},
      {"", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(one_line_reason(c.in), c.out) << c.in;

  std::string wide;
  for (int i = 0; i < 100; ++i) wide += "界";
  EXPECT_EQ(unicode::cp_count(one_line_reason(wide)), 80u);  // characters, not bytes or cells
  const std::string huge(10 << 20, '\n');
  EXPECT_EQ(one_line_reason(huge), std::string(80, ' '));
}

// The report's look, written as the markup that would produce it.
TEST(ProblemText, reads_like_its_markup) {
  const struct {
    std::vector<PickerProblem> problems;
    bool starting;
    std::string markup;
  } cases[] = {
      {{{"Server not ready", "connection refused"}},
       true,
       "[bold red]Server not ready[/]\n\n[dim]connection refused[/]\n\nThe server may still be "
       "starting up.\n[dim]Press 1 or 2 to retry.[/]"},
      {{{"Health check failed", "boom"}},
       false,
       "[bold red]Health check failed[/]\n\n[dim]boom[/]\n\n[dim]Press 1 or 2 to retry.[/]"},
      {{{"Could not save settings", "disk full"}, {"Server not ready", "loading"}},
       true,
       "[bold red]Could not save settings[/]\n\n[dim]disk full[/]\n\n[bold red]Server not "
       "ready[/]\n\n[dim]loading[/]\n\nThe server may still be starting up.\n[dim]Press 1 or 2 "
       "to retry.[/]"},
  };
  for (const auto& c : cases) {
    const styled::Text got = problem_text(c.problems, c.starting);
    const styled::Text want = styled::Text::from_markup(c.markup);
    EXPECT_EQ(got.plain(), want.plain());
    EXPECT_EQ(got.runs(), want.runs()) << c.markup;
  }
}

TEST(ProblemText, brackets_in_a_reason_stay_text) {
  // Pasted into markup, the trailing backslash would escape the bracket of the closing tag.
  const std::string reason = "[bold]x[/] [/dim] \\";
  const styled::Text got = problem_text({{"Server not ready", reason}}, true);
  const std::string head = "Server not ready\n\n";
  EXPECT_EQ(got.plain(),
            head + reason + "\n\nThe server may still be starting up.\nPress 1 or 2 to retry.");
  const auto runs = got.runs();
  const auto dim = styled::Style::parse("dim");
  const auto reason_run = std::find_if(
      runs.begin(), runs.end(), [&](const styled::StyleRun& r) { return r.start == head.size(); });
  ASSERT_NE(reason_run, runs.end());
  EXPECT_EQ(reason_run->end, head.size() + reason.size());
  EXPECT_EQ(reason_run->style, dim);
  EXPECT_EQ(runs.back().style, dim);  // the retry hint
}

}  // namespace
}  // namespace zell::tui::screens
