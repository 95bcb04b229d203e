#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "styled/console.h"
#include "styled/sgr.h"
#include "styled/text.h"
#include "render_helpers.h"

namespace styled {
namespace {

using styled::testing::S;

// The text's look character by character: plain text plus normalized runs.
std::vector<StyleRun> look(const Text& t) {
  std::vector<StyleRun> out;
  for (StyleRun r : t.runs()) {
    r.style = r.style.normalized();
    if (!out.empty() && out.back().style == r.style) {
      out.back().end = r.end;
    } else {
      out.push_back(r);
    }
  }
  return out;
}

std::string to_ansi(const Text& t, int width = 1000) {
  std::string buf;
  Console console({.width = width, .force_terminal = true, .file = &buf});
  console.print(t);
  buf.pop_back();  // the final line feed print adds
  return buf;
}

struct DecodeCase {
  const char* name;
  std::string input;
  std::string plain;
  std::vector<StyleRun> runs;
};

class FromAnsi : public ::testing::TestWithParam<DecodeCase> {};

TEST_P(FromAnsi, DecodesSgrAndDropsEverythingElse) {
  const auto& c = GetParam();
  const Text t = Text::from_ansi(c.input);
  EXPECT_EQ(t.plain(), c.plain);
  EXPECT_EQ(look(t), c.runs);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, FromAnsi,
    ::testing::Values(
        DecodeCase{"plain", "hello", "hello", {{0, 5, Style()}}},
        DecodeCase{
            "bold_then_reset", "\x1b[1mab\x1b[0mc", "abc", {{0, 2, S("bold")}, {2, 3, Style()}}},
        DecodeCase{
            "empty_params_reset", "\x1b[31ma\x1b[mb", "ab", {{0, 1, S("red")}, {1, 2, Style()}}},
        DecodeCase{"truecolor_fg_bg",
                   "\x1b[38;2;1;2;3;48;2;4;5;6mx",
                   "x",
                   {{0, 1, S("rgb(1,2,3) on rgb(4,5,6)")}}},
        DecodeCase{"palette",
                   "\x1b[38;5;200mx\x1b[48;5;3my",
                   "xy",
                   {{0, 1, S("color(200)")}, {1, 2, S("color(200) on color(3)")}}},
        DecodeCase{"colon_truecolor", "\x1b[38:2::9:8:7mx", "x", {{0, 1, S("rgb(9,8,7)")}}},
        DecodeCase{"bright", "\x1b[91;102mx", "x", {{0, 1, S("bright_red on bright_green")}}},
        DecodeCase{"attribute_resets",
                   "\x1b[1;2;3;4;5;7;9ma\x1b[22;23;24;25;27;29mb",
                   "ab",
                   {{0, 1, S("bold dim italic underline blink reverse strike")}, {1, 2, Style()}}},
        DecodeCase{
            "sgr21_ends_bold", "\x1b[1ma\x1b[21mb", "ab", {{0, 1, S("bold")}, {1, 2, Style()}}},
        DecodeCase{"default_colours",
                   "\x1b[31;41ma\x1b[39mb\x1b[49mc",
                   "abc",
                   {{0, 1, S("red on red")}, {1, 2, S("on red")}, {2, 3, Style()}}},
        DecodeCase{
            "other_csi_dropped", "a\x1b[2Jb\x1b[10;5Hc\x1b[?25ld", "abcd", {{0, 4, Style()}}},
        DecodeCase{"osc_bel_dropped",
                   "a\x1b]0;title\x07"
                   "b",
                   "ab",
                   {{0, 2, Style()}}},
        DecodeCase{"osc_st_dropped",
                   "a\x1b]8;;http://x\x1b\\link\x1b]8;;\x1b\\b",
                   "alinkb",
                   {{0, 6, Style()}}},
        DecodeCase{"osc52_dropped", "\x1b]52;c;aGk=\x07ok", "ok", {{0, 2, Style()}}},
        DecodeCase{"dcs_dropped", "a\x1bPq#0;2;0;0;0\x1b\\b", "ab", {{0, 2, Style()}}},
        DecodeCase{"two_byte_escapes_dropped",
                   "a\x1b"
                   "cb\x1b(Bc\x1b"
                   "7d",
                   "abcd",
                   {{0, 4, Style()}}},
        DecodeCase{"lone_esc_at_end", "ab\x1b", "ab", {{0, 2, Style()}}},
        DecodeCase{"truncated_csi", "ab\x1b[31", "ab", {{0, 2, Style()}}},
        DecodeCase{"private_m_is_not_sgr", "\x1b[>4;1mab", "ab", {{0, 2, Style()}}},
        DecodeCase{"crlf_becomes_lf", "a\r\nb\rc", "a\nb\nc", {{0, 5, Style()}}},
        DecodeCase{"c0_visible",
                   "a\x07\x08"
                   "b",
                   "a\u2407\u2408b",
                   {{0, 8, Style()}}},
        DecodeCase{"huge_number_clamped", "\x1b[38;5;99999999mx", "x", {{0, 1, S("color(255)")}}},
        DecodeCase{"truncated_extended_colour", "\x1b[38;2;1mx", "x", {{0, 1, Style()}}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(FromAnsi, RoundTripKeepsTextAndStyles) {
  Text t;
  t.append("❯ ", "bold #5f87ff");
  t.append("plain ");
  t.append("日本語", "italic on color(17)");
  t.append(" dim", "dim");
  t.append(" both", "bold dim underline");
  t.append(" red", "red on bright_white");
  const Text back = Text::from_ansi(to_ansi(t));
  EXPECT_EQ(back.plain(), t.plain());
  EXPECT_EQ(look(back), look(t));
}

TEST(FromAnsi, RandomRoundTrips) {
  const std::vector<const char*> styles = {"",
                                           "bold",
                                           "dim",
                                           "bold dim",
                                           "italic red",
                                           "on #102030",
                                           "strike",
                                           "reverse blue",
                                           "underline bright_cyan on black",
                                           "blink #abcdef"};
  std::mt19937 rng(7);
  for (int round = 0; round < 200; ++round) {
    Text t;
    const int pieces = static_cast<int>(rng() % 12) + 1;
    for (int i = 0; i < pieces; ++i) {
      t.append(std::string(rng() % 4 + 1, static_cast<char>('a' + i)),
               styles[rng() % styles.size()]);
    }
    const Text back = Text::from_ansi(to_ansi(t));
    ASSERT_EQ(back.plain(), t.plain());
    ASSERT_EQ(look(back), look(t)) << to_ansi(t);
  }
}

}  // namespace
}  // namespace styled
