// The tool log: header lines, result lines under connectors, folding, and noise filtering.

#include <gtest/gtest.h>

#include <string>

#include "capture.h"
#include "zell/output/output_manager.h"

namespace {

using zell::output::OutputManager;
using zell_test::ERASE;
using zell_test::FakeClock;
using zell_test::RecordingWriter;
using zell_test::repeat;

struct NoiseCase {
  std::string name;
  std::string text;
  std::string expected;
};

class FilterNoise : public ::testing::TestWithParam<NoiseCase> {};

TEST_P(FilterNoise, DropsAllocatorDiagnosticsAndNormalisesLineEnds) {
  EXPECT_EQ(OutputManager::_filter_noise(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, FilterNoise,
    ::testing::Values(
        NoiseCase{"empty", "", ""},
        NoiseCase{"trailing_boundary_gives_no_empty_line", "a\nb\n", "a\nb"},
        NoiseCase{"every_boundary_kind",
                  "a\rb\r\nc\vd\fe\x1c"
                  "f\x1dg\x1eh\u0085i\u2028j\u2029k",
                  "a\nb\nc\nd\ne\nf\ng\nh\ni\nj\nk"},
        NoiseCase{"noise_lines_anywhere",
                  "python(123) MallocStackLogging: can't turn off\nok\nfoo can't turn off bar\nend",
                  "ok\nend"},
        NoiseCase{"case_sensitive", "mallocstacklogging\nCan't turn off",
                  "mallocstacklogging\nCan't turn off"},
        NoiseCase{"only_noise_becomes_empty", "MallocStackLogging 1\nMallocStackLogging 2\n", ""},
        NoiseCase{"blank_lines_inside_stay", "a\n\n\nb", "a\n\n\nb"},
        NoiseCase{"invalid_utf8_is_replaced", "a\xff\n", "a\uFFFD"}),
    [](const auto& info) { return info.param.name; });

class ToolLog : public ::testing::Test {
 protected:
  FakeClock clock;
  std::shared_ptr<RecordingWriter> out = std::make_shared<RecordingWriter>();
  OutputManager m{zell_test::recorded_ports(out, clock)};
};

TEST_F(ToolLog, HeaderUsesTheActionWordAndTheFirst80CharactersOfTheArguments) {
  const std::string args = repeat("x", 60) + repeat("é", 40);  // 100 characters
  m.log_tool("grep", args);
  EXPECT_EQ(out->agent_output(), "\n\x1b[1m▪ Searched\x1b[0m \x1b[36m" + repeat("x", 60) +
                                     repeat("é", 20) + "\x1b[0m\n");
  EXPECT_EQ(m.state.tool_actions.at(0).args, args);  // the record keeps them whole
  EXPECT_TRUE(m.indicator_running());                // started again after the header
}

TEST_F(ToolLog, UnknownToolsShowTheirNameAndControlsAreVisible) {
  m.log_tool("my_tool",
             "a\x1b"
             "b");
  m._stop_indicator();
  m.log_tool("evil\x1b]0;x\x07", "");
  EXPECT_EQ(out->agent_output(), "\n\x1b[1m▪ my_tool\x1b[0m \x1b[36ma␛b\x1b[0m\n" + ERASE +
                                     "\n\x1b[1m▪ evil␛]0;x␇\x1b[0m \x1b[36m\x1b[0m\n");
}

TEST_F(ToolLog, ReordersAndHiddenCharactersAreRevealed) {
  m.log_tool("t\u202E", "a\u00AD\u2066b");
  m.tool_result("r\u202Bs", true, 0);
  m.set_error("e\u200F");
  const std::string shown = out->agent_output();
  for (const char* part :
       {"▪ t<U+202E>", "a<U+00AD><U+2066>b", "└ r<U+202B>s", "Error: e<U+200F>"}) {
    EXPECT_NE(shown.find(part), std::string::npos) << part << " in " << shown;
  }
}

struct ResultCase {
  std::string name;
  std::string result;
  bool error;
  std::string expected;  // the lines between the indicator's erase and its restart
};

class ToolResultLines : public ::testing::TestWithParam<ResultCase> {};

std::string numbered(int from, int to) {
  std::string s;
  for (int i = from; i <= to; ++i) s += "line " + std::to_string(i) + "\n";
  return s;
}

std::string shown(int from, int to, const std::string& open) {
  std::string s;
  for (int i = from; i <= to; ++i) s += open + "line " + std::to_string(i) + "\x1b[0m\n";
  return s;
}

const std::string DIM = "\x1b[2m  └ ";
const std::string RED = "\x1b[31m  └ ";

TEST_P(ToolResultLines, WriteExactly) {
  FakeClock clock;
  auto out = std::make_shared<RecordingWriter>();
  OutputManager m(zell_test::recorded_ports(out, clock));
  m.tool_result(GetParam().result, GetParam().error);
  EXPECT_EQ(out->agent_output(), GetParam().expected);
  EXPECT_TRUE(m.indicator_running());
}

INSTANTIATE_TEST_SUITE_P(
    Results, ToolResultLines,
    ::testing::Values(
        ResultCase{"eight_lines_no_note", numbered(1, 8), false, shown(1, 8, DIM)},
        ResultCase{"nine_lines_fold_one", numbered(1, 9), false,
                   shown(1, 8, DIM) + "\x1b[2m    … +1 lines\x1b[0m\n"},
        ResultCase{"ten_lines_fold_two", numbered(1, 10), false,
                   shown(1, 8, DIM) + "\x1b[2m    … +2 lines\x1b[0m\n"},
        ResultCase{"error_shows_five_red_lines_and_no_note", numbered(1, 12), true,
                   shown(1, 5, RED)},
        ResultCase{"long_line_cut_at_90_characters", repeat("é", 200), false,
                   DIM + repeat("é", 90) + "\x1b[0m\n"},
        ResultCase{"leading_blank_lines_trimmed_inner_kept", "\n\n  \nfirst\n\n\u00a0last\n\n",
                   false, DIM + "first\x1b[0m\n" + DIM + "\x1b[0m\n" + DIM + "\u00a0last\x1b[0m\n"},
        ResultCase{"only_noise_writes_nothing", "MallocStackLogging\nMallocStackLogging\n", false,
                   ""},
        ResultCase{"whitespace_only_writes_nothing", " \t\u3000\n", false, ""},
        ResultCase{"escapes_in_results_are_visible", "\x1b[2J\x1b]52;c;aGk=\x07ok", false,
                   DIM + "␛[2J␛]52;c;aGk=␇ok\x1b[0m\n"},
        ResultCase{"invalid_utf8_never_breaks_the_cut", repeat("\xff", 100), false,
                   DIM + repeat("\uFFFD", 90) + "\x1b[0m\n"}),
    [](const auto& info) { return info.param.name; });

TEST_F(ToolLog, ResultErasesTheRunningIndicatorAndRestartsIt) {
  m.start_thinking();
  const int i = m.log_tool("bash", "ls");
  m.tool_result("a\nb", false, i);
  EXPECT_EQ(out->agent_output(), ERASE + "\n\x1b[1m▪ Ran\x1b[0m \x1b[36mls\x1b[0m\n" + ERASE + DIM +
                                     "a\x1b[0m\n" + DIM + "b\x1b[0m\n");
  EXPECT_TRUE(m.indicator_running());
}

// Answer text around tool calls (agents that talk between them): each tool line starts a line
// of its own, a result after text repeats its call's header above it rather than hanging from
// the text, and text after a tool line opens a new paragraph.
TEST_F(ToolLog, AnswerTextAndToolLinesKeepLinesOfTheirOwn) {
  const std::string header = "\x1b[1m▪ Ran\x1b[0m \x1b[36mls\x1b[0m\n";
  m.stream("First.");
  m.log_tool("bash", "ls");
  m.stream("Running it.");
  m.tool_result("listing", false, 0);
  m.stream("Then.\n");
  m.print_info("a note");
  m.stream("Last.");
  m.done();
  const std::string shown = out->agent_output();
  EXPECT_NE(shown.find("First.\n\n" + header), std::string::npos) << shown;
  EXPECT_NE(shown.find("\n\n  Running it.\n\n" + header + DIM + "listing"), std::string::npos)
      << shown;
  EXPECT_NE(shown.find("\n\n  Then.\n  \x1b[2m  a note\x1b[0m\n"), std::string::npos) << shown;
  EXPECT_NE(shown.find("\n\n  Last."), std::string::npos) << shown;
}

}  // namespace
