#pragma once
// Reading the transcript's rows back as styled runs, to check text and style cell by cell
// against tables of expected rows.

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "styled/style.h"
#include "termui/strip.h"

namespace zell::tui::widgets::testing {

// An expected piece of a row: its text and its style string ("" for no style).
struct Piece {
  std::string text;
  std::string style;
};
using Row = std::vector<Piece>;

// The row as maximal runs of one look, without the padding after the last styled or
// non-blank cell. A hyperlink changes no look: it is left out.
inline std::vector<std::pair<std::string, styled::Style>> runs_of(const termui::Strip& strip) {
  std::vector<std::pair<std::string, styled::Style>> runs;
  for (const auto& seg : strip.segments()) {
    if (seg.text.empty()) continue;
    const styled::Style look = seg.style.with_link(0);
    if (!runs.empty() && runs.back().second == look) {
      runs.back().first += seg.text;
    } else {
      runs.emplace_back(seg.text, look);
    }
  }
  while (!runs.empty() && runs.back().second == styled::Style{}) {
    std::string& t = runs.back().first;
    t.erase(t.find_last_not_of(' ') + 1);
    if (!t.empty()) break;
    runs.pop_back();
  }
  return runs;
}

inline std::string describe(const std::vector<std::pair<std::string, styled::Style>>& runs) {
  std::string s;
  for (const auto& [text, style] : runs) {
    s += "[" + text + "|" + style.to_string() + "]";
  }
  return s;
}

// Whether `strip` shows exactly the pieces of `expected` (adjacent pieces of one style may be
// given separately).
inline ::testing::AssertionResult shows(const termui::Strip& strip, const Row& expected) {
  std::vector<std::pair<std::string, styled::Style>> want;
  for (const Piece& p : expected) {
    if (p.text.empty()) continue;
    const styled::Style style = styled::Style::parse(p.style);
    if (!want.empty() && want.back().second == style) {
      want.back().first += p.text;
    } else {
      want.emplace_back(p.text, style);
    }
  }
  const auto got = runs_of(strip);
  if (got == want) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure()
         << "row shows " << describe(got) << "\n  expected " << describe(want);
}

// Checks every row of `rows` from `first` on against `expected`, and that no row follows.
inline void expect_rows(const std::vector<termui::Strip>& rows, std::size_t first,
                        const std::vector<Row>& expected) {
  ASSERT_EQ(rows.size(), first + expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_TRUE(shows(rows[first + i], expected[i])) << "row " << first + i;
  }
}

}  // namespace zell::tui::widgets::testing
