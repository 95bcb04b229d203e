// Exact bytes on standard output: the real writer on fd 1 and the real width query, with fd 1
// redirected into a pipe (no terminal: 80 columns) or into a pty of a chosen width.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "capture.h"
#include "unicode/text_ops.h"
#include "unicode/utf8.h"
#include "zell/output/output_manager.h"

namespace {

using zell::output::OutputManager;
using zell_test::FakeClock;
using zell_test::repeat;
using zell_test::StdoutCapture;

const std::string OPEN = "\r\x1b[K\n\n  ";  // start of the answer block
const std::string NL = "\n  ";              // a wrapped or ended answer line

// Real fd writer and real `_cols`, fake clock and an hour-long frame period.
zell::output::OutputPorts fd_ports(const FakeClock& clock) {
  zell::output::OutputPorts ports;
  ports.clock = [&clock] { return clock.now(); };
  ports.frame_period = std::chrono::hours(1);
  return ports;
}

TEST(Cols, PipeIsNoTerminal) {
  auto cap = StdoutCapture::pipe();
  const int cols = zell::output::_cols();
  cap->finish();
  EXPECT_EQ(cols, 80);
}

TEST(Cols, PtyWidthsAreReadAfreshAndZeroCountsAsFailure) {
  for (const unsigned short width : {100, 20, 2, 0}) {
    auto cap = StdoutCapture::pty(width);
    const int cols = zell::output::_cols();
    cap->finish();
    EXPECT_EQ(cols, width == 0 ? 80 : width);
  }
}

struct StreamCase {
  std::string name;
  unsigned short cols;  // 0: a pipe
  std::vector<std::string> chunks;
  std::string expected;  // everything after the opening sequence
  long long col_pos;
};

class StreamWrapping : public ::testing::TestWithParam<StreamCase> {};

TEST_P(StreamWrapping, WritesExactBytes) {
  const StreamCase& c = GetParam();
  auto cap = c.cols == 0 ? StdoutCapture::pipe() : StdoutCapture::pty(c.cols);
  long long col_pos = 0;
  {
    OutputManager m;  // the constructor the agent uses: real writer, real width, real clock
    for (const std::string& chunk : c.chunks) m.stream(chunk);
    col_pos = m.col_pos();
  }
  EXPECT_EQ(cap->finish(), OPEN + c.expected);
  EXPECT_EQ(col_pos, c.col_pos);
}

INSTANTIATE_TEST_SUITE_P(
    Widths, StreamWrapping,
    ::testing::Values(
        StreamCase{"hundred_letters_at_80",
                   80,
                   {repeat("a", 100)},
                   repeat("a", 77) + NL + repeat("a", 23),
                   25},
        StreamCase{
            "pipe_counts_as_80", 0, {repeat("a", 100)}, repeat("a", 77) + NL + repeat("a", 23), 25},
        StreamCase{"line_feed_reindents", 80, {"ab\ncd"}, "ab" + NL + "cd", 4},
        StreamCase{"second_chunk_continues_the_line",
                   80,
                   {repeat("a", 70), repeat("b", 10)},
                   repeat("a", 70) + repeat("b", 7) + NL + "bbb",
                   5},
        StreamCase{"exactly_full_line_wraps_on_the_next_character",
                   80,
                   {repeat("a", 77), "", "b"},
                   repeat("a", 77) + NL + "b",
                   3},
        StreamCase{"width_100", 100, {repeat("a", 100)}, repeat("a", 97) + NL + "aaa", 5},
        StreamCase{"width_20_cuts_words",
                   20,
                   {"the quick brown fox jumps"},
                   "the quick brown f" + NL + "ox jumps",
                   10},
        StreamCase{"width_2_puts_every_character_on_its_own_line",
                   2,
                   {"abc"},
                   NL + "a" + NL + "b" + NL + "c",
                   3},
        StreamCase{"wide_characters_count_one_column",
                   20,
                   {repeat("日", 18)},
                   repeat("日", 17) + NL + "日",
                   3},
        StreamCase{"controls_are_visible_and_one_column_each",
                   20,
                   {"\x1b[31mred\r\x7f\t!"},
                   "␛[31mred␍␡\t!",
                   14},
        StreamCase{"invalid_utf8_is_replacement", 80, {"a\xff\xc3(b"}, "a\uFFFD\uFFFD(b", 7},
        StreamCase{"line_feeds_only", 80, {"\n\n"}, NL + NL, 2}),
    [](const auto& info) { return info.param.name; });

TEST(StreamVisibility, EveryControlIsShownTheWayTheUnicodeLayerShowsIt) {
  std::string all;
  for (int c = 1; c < 0xa0; ++c) {
    if (c == '\n' || (c >= 0x80 && c < 0xa0)) continue;
    all += static_cast<char>(c);
  }
  all += "\u0085\u009b";
  auto cap = StdoutCapture::pty(200);
  {
    OutputManager m;
    m.stream(all);
  }
  EXPECT_EQ(cap->finish(), OPEN + unicode::visible_controls(all));
  EXPECT_FALSE(unicode::has_controls(unicode::visible_controls(all)));
}

TEST(StreamVisibility, SpecialCharactersAtEveryOffsetOfAWord) {
  // The ASCII fast path scans eight bytes at a time: a control, DEL, a multi-byte character or
  // an invalid byte must be caught wherever it sits in such a word, and wrapping must still
  // fall exactly at the column limit.
  for (const std::string special : {"\x7f", "\x1f", "\x1b", "é", "\x80", "\t", "~", " "}) {
    for (std::size_t at = 0; at < 24; ++at) {
      std::string chunk = repeat("x", 24);
      chunk.insert(at, special);
      for (const int cols : {200, 13}) {
        zell::output::OutputPorts ports;
        auto out = std::make_shared<zell_test::RecordingWriter>();
        ports.out = out;
        ports.cols = [cols] { return cols; };
        OutputManager m(ports);
        m.stream(chunk);
        // Expected: one visible character per character, a break before every 10th (13 − 1 − 2).
        std::string expected = OPEN;
        int col = 2;
        unicode::for_each_cp(chunk, [&](char32_t, std::size_t off, std::size_t len) {
          if (col >= cols - 1) {
            expected += NL;
            col = 2;
          }
          expected += unicode::visible_controls(chunk.substr(off, len));
          ++col;
        });
        ASSERT_EQ(out->agent_output(), expected) << "at " << at << " cols " << cols;
      }
    }
  }
}

TEST(StreamWidth, IsAskedForEveryChunk) {
  int cols = 80;
  zell::output::OutputPorts ports;
  auto out = std::make_shared<zell_test::RecordingWriter>();
  ports.out = out;
  ports.cols = [&cols] { return cols; };
  OutputManager m(ports);
  m.stream(repeat("a", 10));
  cols = 8;  // wrap_at 7: column 12 is already past it
  m.stream("bc");
  EXPECT_EQ(out->agent_output(), OPEN + repeat("a", 10) + NL + "bc");
}

struct LineCase {
  std::string name;
  std::function<void(OutputManager&, FakeClock&)> run;
  std::string expected;
};

class PlainLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(PlainLines, WriteExactBytesToATerminal) {
  FakeClock clock(1000.0);
  auto cap = StdoutCapture::pty(80);  // a terminal, so that the indicator runs
  {
    OutputManager m(fd_ports(clock));
    GetParam().run(m, clock);
  }
  EXPECT_EQ(zell_test::without_frames(cap->finish()), GetParam().expected);
}

using zell_test::ERASE;  // what stopping a running indicator writes

INSTANTIATE_TEST_SUITE_P(
    Operations, PlainLines,
    ::testing::Values(LineCase{"done_with_repeated_tools",
                               [](OutputManager& m, FakeClock& clock) {
                                 m.start_thinking();
                                 for (const char* t : {"bash", "read_file", "bash", "bash"})
                                   m.log_tool(t);
                                 clock.advance(12.34);
                                 m.done();
                               },
                               repeat(ERASE + "\n\x1b[1m▪ Ran\x1b[0m \x1b[36m\x1b[0m\n", 1) +
                                   ERASE + "\n\x1b[1m▪ Read\x1b[0m \x1b[36m\x1b[0m\n" + ERASE +
                                   "\n\x1b[1m▪ Ran\x1b[0m \x1b[36m\x1b[0m\n" + ERASE +
                                   "\n\x1b[1m▪ Ran\x1b[0m \x1b[36m\x1b[0m\n" + ERASE +
                                   "\n\x1b[2m  Done in 12.3s — tools: bash×3, read_file\x1b[0m\n"},
                      LineCase{"done_without_tools",
                               [](OutputManager& m, FakeClock& clock) {
                                 m.start_thinking();
                                 clock.advance(4);
                                 m.done();
                               },
                               ERASE + "\n\x1b[2m  Done in 4.0s\x1b[0m\n"},
                      LineCase{"done_in_minutes_stays_in_seconds",
                               [](OutputManager& m, FakeClock& clock) {
                                 m.start_thinking();
                                 clock.advance(75);
                                 m.done();
                               },
                               ERASE + "\n\x1b[2m  Done in 75.0s\x1b[0m\n"},
                      LineCase{"done_without_a_start_gives_no_time",
                               [](OutputManager& m, FakeClock&) {
                                 m.log_tool("bash");
                                 m.done();
                               },
                               "\n\x1b[1m▪ Ran\x1b[0m \x1b[36m\x1b[0m\n" + ERASE +
                                   "\n\x1b[2m  Done — tools: bash\x1b[0m\n"},
                      LineCase{"error_keeps_line_feeds_and_makes_escapes_visible",
                               [](OutputManager& m, FakeClock&) {
                                 m.set_error("boom\nat line 2\x1b]52;c;x\x07");
                               },
                               "\n\x1b[31m▪ Error: boom\nat line 2␛]52;c;x␇\x1b[0m\n\n"},
                      LineCase{"error_stops_the_indicator_first",
                               [](OutputManager& m, FakeClock&) {
                                 m.start_thinking();
                                 m.set_error(repeat("e", 300));
                               },
                               ERASE + "\n\x1b[31m▪ Error: " + repeat("e", 300) + "\x1b[0m\n\n"},
                      LineCase{"info_while_stopped_does_not_start_the_indicator",
                               [](OutputManager& m, FakeClock&) {
                                 m.print_info("loaded 3 files");
                                 EXPECT_FALSE(m.indicator_running());
                               },
                               "\x1b[2m  loaded 3 files\x1b[0m\n"},
                      LineCase{"info_pauses_a_running_indicator",
                               [](OutputManager& m, FakeClock&) {
                                 m.start_thinking();
                                 m.print_info("note\x1b[2J");
                                 EXPECT_TRUE(m.indicator_running());
                               },
                               ERASE + "\x1b[2m  note␛[2J\x1b[0m\n" + ERASE},
                      LineCase{"streaming_stops_the_indicator_and_opens_the_block",
                               [](OutputManager& m, FakeClock&) {
                                 m.start_thinking();
                                 m.stream("Hi");
                                 m.stream(" there");
                               },
                               ERASE + OPEN + "Hi there"},
                      LineCase{"start_streaming_twice_opens_twice_and_keeps_the_column",
                               [](OutputManager& m, FakeClock&) {
                                 m.stream("abc");
                                 m.start_streaming();
                                 m.stream("d");
                                 EXPECT_EQ(m.col_pos(), 6);
                               },
                               OPEN + "abc" + OPEN + "d"}),
    [](const auto& info) { return info.param.name; });

}  // namespace
