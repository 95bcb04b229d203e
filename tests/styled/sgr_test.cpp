#include "styled/sgr.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace styled {
namespace {

struct SgrCase {
  const char* style;
  const char* expected;
};

class SgrEncode : public ::testing::TestWithParam<SgrCase> {};

TEST_P(SgrEncode, WritesPaletteCodesForStandardColoursAndTruecolorForRgb) {
  std::string out;
  append_sgr(out, Style::parse(GetParam().style));
  EXPECT_EQ(out, GetParam().expected) << GetParam().style;
}

INSTANTIATE_TEST_SUITE_P(
    Styles, SgrEncode,
    ::testing::Values(SgrCase{"", ""}, SgrCase{"bold", "\x1b[1m"},
                      SgrCase{"bold red", "\x1b[1;31m"}, SgrCase{"bright_white", "\x1b[97m"},
                      SgrCase{"on blue", "\x1b[44m"}, SgrCase{"on bright_black", "\x1b[100m"},
                      SgrCase{"#5f87ff", "\x1b[38;2;95;135;255m"},
                      SgrCase{"on #2a2a2a", "\x1b[48;2;42;42;42m"},
                      SgrCase{"color(200)", "\x1b[38;5;200m"},
                      SgrCase{"dim italic underline blink reverse strike", "\x1b[2;3;4;5;7;9m"},
                      SgrCase{"not bold", ""}));

struct TransitionCase {
  const char* from;
  const char* to;
  const char* expected;
};

class SgrTransition : public ::testing::TestWithParam<TransitionCase> {};

TEST_P(SgrTransition, EmitsOnlyTheChange) {
  std::string out;
  append_sgr_transition(out, Style::parse(GetParam().from), Style::parse(GetParam().to));
  EXPECT_EQ(out, GetParam().expected) << GetParam().from << " -> " << GetParam().to;
}

INSTANTIATE_TEST_SUITE_P(Pairs, SgrTransition,
                         ::testing::Values(TransitionCase{"bold", "bold", ""},
                                           TransitionCase{"", "bold", "\x1b[1m"},
                                           TransitionCase{"bold red", "", "\x1b[0m"},
                                           TransitionCase{"bold red", "bold green", "\x1b[32m"},
                                           // 22 clears both bold and dim, so dim is set again.
                                           TransitionCase{"bold dim", "dim", "\x1b[22;2m"},
                                           TransitionCase{"italic red", "red", "\x1b[23m"},
                                           TransitionCase{"red on blue", "on blue", "\x1b[39m"},
                                           TransitionCase{"red on blue", "red", "\x1b[49m"},
                                           TransitionCase{"red", "default", "\x1b[0m"},
                                           TransitionCase{"strike", "underline", "\x1b[4;29m"}));

// The remembered sequences are those of the pair and colour system asked, however many pairs
// share a slot and whichever system asked before.
TEST(SgrTransitions, RememberedSequencesMatchFreshOnes) {
  std::vector<Style> styles = {Style()};
  for (const char* s : {"bold", "dim italic", "red", "on blue", "#123456 on #abcdef", "underline",
                        "strike reverse", "color(200)", "bold #ff0000", "default on default"}) {
    styles.push_back(Style::parse(s));
  }
  for (int i = 0; i < 300; ++i)
    styles.push_back(Style().with_fg(Color::rgb(static_cast<std::uint8_t>(i),
                                                static_cast<std::uint8_t>(255 - i % 256),
                                                static_cast<std::uint8_t>(i / 2))));
  SgrTransitions transitions;
  for (int round = 0; round < 2; ++round) {
    for (const ColorSystem system :
         {ColorSystem::truecolor, ColorSystem::standard, ColorSystem::eight_bit}) {
      for (std::size_t i = 0; i < styles.size(); ++i) {
        const Style& from = styles[i];
        const Style& to = styles[(i * 7 + 3) % styles.size()];
        std::string fresh, remembered;
        append_sgr_transition(fresh, from, to, system);
        transitions.append(remembered, from, to, system);
        ASSERT_EQ(remembered, fresh) << i;
      }
    }
  }
}

TEST(SgrColorSystem, ReducesColoursToWhatTheTerminalShows) {
  std::string out;
  append_sgr(out, Style::parse("#ff0000"), ColorSystem::standard);
  EXPECT_EQ(out, "\x1b[91m");
  out.clear();
  append_sgr(out, Style::parse("#000000"), ColorSystem::eight_bit);
  EXPECT_EQ(out, "\x1b[38;5;16m");
  out.clear();
  append_sgr(out, Style::parse("bold red"), ColorSystem::none);
  EXPECT_EQ(out, "");
}

}  // namespace
}  // namespace styled
