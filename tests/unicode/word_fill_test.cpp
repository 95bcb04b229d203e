// The word-fill rule against a table made by the rule it mirrors.

#include "unicode/word_fill.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

namespace unicode {
namespace {

struct FillCase {
  const char* text;
  int width;
  const char* expected;
};

TEST(WordFill, agrees_with_the_reference_table) {
  static const FillCase cases[] = {
#include "word_fill_cases.inc"
  };
  for (const auto& c : cases) {
    EXPECT_EQ(word_fill(c.text, c.width), c.expected) << "text: " << c.text << " width " << c.width;
  }
}

TEST(WordFill, is_linear_on_a_long_line_of_words) {
  std::string long_line;
  for (int i = 0; i < 20000; ++i) long_line += "word-wrap ";
  const std::string filled = word_fill(long_line, 74);
  EXPECT_EQ(filled.find("\n "), std::string::npos);
  EXPECT_GT(std::count(filled.begin(), filled.end(), '\n'), 2000);
}

}  // namespace
}  // namespace unicode
